#include "platform/child_wait.h"

#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qor {
namespace {

// Exit-code answers in turn; the last one repeats.
class ScriptedChild final : public ChildWaitOps {
public:
    struct Answer {
        ResultCode code;
        std::uint32_t exitCode;
    };
    explicit ScriptedChild(std::vector<Answer> answers) : answers_(std::move(answers)) {}
    ResultCode QueryExitCode(std::uint32_t& exitCode) noexcept override {
        const Answer& a = answers_[std::min(queries, answers_.size() - 1)];
        ++queries;
        if (Succeeded(a.code)) exitCode = a.exitCode;
        return a.code;
    }
    void Sleep(std::uint32_t ms) noexcept override { slept.push_back(ms); }
    std::size_t queries = 0;
    std::vector<std::uint32_t> slept;

private:
    std::vector<Answer> answers_;
};

TEST(PollChildExit, EndsEarlyOnExitOrFailedQuery) {
    ScriptedChild ended({{0, 3}});
    EXPECT_EQ(PollChildExit(ended), 0);  // the child's own exit code is not looked at
    EXPECT_EQ(ended.queries, 1u);
    EXPECT_TRUE(ended.slept.empty());

    ScriptedChild laterEnded({{0, kStillActive}, {0, kStillActive}, {0, 0}});
    EXPECT_EQ(PollChildExit(laterEnded), 0);
    EXPECT_EQ(laterEnded.slept, (std::vector<std::uint32_t>{500, 500}));

    ScriptedChild invalid({{rc::FileNotFound, 0}});
    EXPECT_EQ(PollChildExit(invalid), rc::FileNotFound);
    EXPECT_EQ(invalid.queries, 1u);

    ScriptedChild lost({{0, kStillActive}, {SuiteError(0x3F), 0}});
    EXPECT_EQ(PollChildExit(lost), SuiteError(0x3F));
    EXPECT_EQ(lost.slept.size(), 1u);
}

TEST(PollChildExit, StillRunningAfterTenSleepsIsSuccess) {
    ScriptedChild hung({{0, kStillActive}});
    EXPECT_EQ(PollChildExit(hung), 0);
    EXPECT_EQ(hung.slept, std::vector<std::uint32_t>(10, 500));
    EXPECT_EQ(hung.queries, 11u);
}

// A pipe fed by scripted events on a fake clock.
class FakePipe final : public PipeDrainOps {
public:
    ResultCode Available(std::uint32_t& bytes) noexcept override {
        while (!arrivals.empty() && static_cast<std::int32_t>(now - arrivals.front().at) >= 0) {
            pending += arrivals.front().data;
            arrivals.pop_front();
        }
        if (pending.empty() && arrivals.empty() && writersGone) return SuiteError(0x6D);
        bytes = static_cast<std::uint32_t>(pending.size());
        return rc::Ok;
    }
    ResultCode Read(std::uint8_t* buffer, std::uint32_t size,
                    std::uint32_t& read) noexcept override {
        EXPECT_LE(size, kDrainChunk);
        EXPECT_LE(size, pending.size());  // never blocks
        read = size;
        pending.copy(reinterpret_cast<char*>(buffer), size);
        pending.erase(0, size);
        ++reads;
        return rc::Ok;
    }
    ResultCode Write(const std::uint8_t* buffer, std::uint32_t size) noexcept override {
        if (failWrites) return SuiteError(0x70);
        written.append(reinterpret_cast<const char*>(buffer), size);
        return rc::Ok;
    }
    std::uint32_t NowMs() noexcept override { return now; }
    void Sleep(std::uint32_t ms) noexcept override { now += ms; }

    struct Arrival {
        std::uint32_t at;
        std::string data;
    };
    std::deque<Arrival> arrivals;
    std::string pending, written;
    std::uint32_t now = 0;
    bool writersGone = true;
    bool failWrites = false;
    int reads = 0;
};

TEST(DrainPipe, CopiesEverythingInChunksUntilTheWritersAreGone) {
    FakePipe pipe;
    pipe.arrivals = {{0, std::string(2500, 'a')}, {300, "late"}, {4000, "later"}};
    EXPECT_EQ(DrainPipe(pipe, 60000), 0);
    EXPECT_EQ(pipe.written, std::string(2500, 'a') + "late" + "later");
    EXPECT_EQ(pipe.reads, 5);  // 1024, 1024, 452, then each late piece

    FakePipe silent;
    EXPECT_EQ(DrainPipe(silent, 60000), 0);
    EXPECT_TRUE(silent.written.empty());
}

TEST(DrainPipe, StopsAtTheDeadlineKeepingWhatCame) {
    FakePipe hung;
    hung.writersGone = false;
    hung.arrivals = {{0, "partial"}};
    const ResultCode code = DrainPipe(hung, 120000);
    EXPECT_TRUE(Failed(code));
    EXPECT_EQ(code, ResultFromWin32(1460));
    EXPECT_EQ(hung.written, "partial");
    EXPECT_GE(hung.now, 120000u);
    EXPECT_LT(hung.now, 120000u + 2 * kDrainIdleMs);

    // A child that never stops writing is cut off too.
    FakePipe chatty;
    chatty.writersGone = false;
    for (std::uint32_t t = 0; t < 1000; t += 5) chatty.arrivals.push_back({t, "x"});
    chatty.now = 0xFFFFFF00u;  // across the clock's wrap
    for (auto& a : chatty.arrivals) a.at += 0xFFFFFF00u;
    EXPECT_EQ(DrainPipe(chatty, 100), ResultFromWin32(1460));
    EXPECT_FALSE(chatty.written.empty());
    EXPECT_LT(chatty.written.size(), 200u);
}

TEST(DrainPipe, AFailedWriteEndsTheCopy) {
    FakePipe pipe;
    pipe.writersGone = false;
    pipe.failWrites = true;
    pipe.arrivals = {{0, "data"}};
    EXPECT_EQ(DrainPipe(pipe, 60000), 0);
    EXPECT_EQ(pipe.reads, 1);
}

}  // namespace
}  // namespace qor
