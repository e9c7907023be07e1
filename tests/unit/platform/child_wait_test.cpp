#include "platform/child_wait.h"

#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qor {
namespace {

using Sleeps = std::vector<std::uint32_t>;

// Exit-code answers in turn; the last one repeats.
struct ScriptedChild final : ChildWaitOps {
    struct Answer {
        ResultCode code;
        std::uint32_t exitCode;
    };
    ResultCode QueryExitCode(std::uint32_t& exitCode) noexcept override {
        const Answer& a = answers[std::min(queries++, answers.size() - 1)];
        if (Succeeded(a.code)) exitCode = a.exitCode;
        return a.code;
    }
    void Sleep(std::uint32_t ms) noexcept override { slept.push_back(ms); }
    std::vector<Answer> answers;
    std::size_t queries = 0;
    Sleeps slept;
};

TEST(PollChildExit, EndsOnExitOrFailedQueryAndStillRunningAfterTenSleepsIsSuccess) {
    const struct {
        std::vector<ScriptedChild::Answer> answers;
        ResultCode expected;
        std::size_t queries;
        Sleeps slept;
    } cases[] = {
        {{{0, 3}}, 0, 1, {}},  // the child's own exit code is not looked at
        {{{0, kStillActive}, {0, kStillActive}, {0, 0}}, 0, 3, {500, 500}},
        {{{rc::FileNotFound, 0}}, rc::FileNotFound, 1, {}},
        {{{0, kStillActive}, {SuiteError(0x3F), 0}}, SuiteError(0x3F), 2, {500}},
        {{{0, kStillActive}}, 0, 11, Sleeps(10, 500)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.queries);
        ScriptedChild child;
        child.answers = c.answers;
        EXPECT_EQ(PollChildExit(child), c.expected);
        EXPECT_EQ(child.queries, c.queries);
        EXPECT_EQ(child.slept, c.slept);
    }
}

// A pipe fed by scripted events on a fake clock.
struct FakePipe final : PipeDrainOps {
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
    bool writersGone = true, failWrites = false;
    int reads = 0;
};

TEST(DrainPipe, CopiesEverythingInChunksUntilTheWritersAreGoneOrAWriteFails) {
    FakePipe pipe;
    pipe.arrivals = {{0, std::string(2500, 'a')}, {300, "late"}, {4000, "later"}};
    EXPECT_EQ(DrainPipe(pipe, 60000), 0);
    EXPECT_EQ(pipe.written, std::string(2500, 'a') + "late" + "later");
    EXPECT_EQ(pipe.reads, 5);  // 1024, 1024, 452, then each late piece

    FakePipe silent;
    EXPECT_EQ(DrainPipe(silent, 60000), 0);
    EXPECT_TRUE(silent.written.empty());

    FakePipe failing;
    failing.writersGone = false;
    failing.failWrites = true;
    failing.arrivals = {{0, "data"}};
    EXPECT_EQ(DrainPipe(failing, 60000), 0);
    EXPECT_EQ(failing.reads, 1);
}

TEST(DrainPipe, StopsAtTheDeadlineKeepingWhatCame) {
    FakePipe hung;
    hung.writersGone = false;
    hung.arrivals = {{0, "partial"}};
    EXPECT_EQ(DrainPipe(hung, 120000), ResultFromWin32(1460));
    EXPECT_EQ(hung.written, "partial");
    EXPECT_GE(hung.now, 120000u);
    EXPECT_LT(hung.now, 120000u + 2 * kDrainIdleMs);

    // A child that never stops writing is cut off too, across the clock's wrap.
    FakePipe chatty;
    chatty.writersGone = false;
    chatty.now = 0xFFFFFF00u;
    for (std::uint32_t t = 0; t < 1000; t += 5) chatty.arrivals.push_back({t + chatty.now, "x"});
    EXPECT_EQ(DrainPipe(chatty, 100), ResultFromWin32(1460));
    EXPECT_FALSE(chatty.written.empty());
    EXPECT_LT(chatty.written.size(), 200u);
}

}  // namespace
}  // namespace qor
