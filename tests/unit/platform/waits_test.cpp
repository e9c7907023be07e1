#include "platform/service_start.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/child_wait.h"

namespace qor {
namespace {

const ResultCode kLockedCode = ResultFromWin32(1055);

ServiceStatus State(std::uint32_t state, std::uint32_t exitCode = 0, std::uint32_t specific = 0) {
    return ServiceStatus{state, exitCode, specific, 0, 0};
}
ServiceStatus Pending(std::uint32_t checkPoint, std::uint32_t hint) {
    return ServiceStatus{kServiceStartPending, 0, 0, checkPoint, hint};
}

// A service scripted on the time since the run began; the clock moves only by sleeps.
struct Script {
    explicit Script(std::uint32_t firstTick = 5000) : first(firstTick), now(firstTick) {}
    std::uint32_t Elapsed() const { return now - first; }

    std::uint32_t first, now;
    // Stopped until a start succeeds, then running.
    std::function<ServiceStatus(const Script&)> status = [](const Script& s) {
        return State(s.startsOk > 0 ? kServiceRunning : kServiceStopped);
    };
    std::function<ResultCode(std::uint32_t elapsed)> start = [](std::uint32_t) { return 0; };
    ResultCode openResult = rc::Ok, queryResult = rc::Ok, lockQueryResult = rc::Ok;
    ServiceLockStatus lock{true, L"NT AUTHORITY\\SYSTEM", 4242};

    int queries = 0, startsOk = 0, lockQueries = 0;
    std::uint32_t lockQueriedAt = 0;
    std::vector<std::uint32_t> attemptsAt, slept;
};

struct ScriptedControl final : ServiceControl {
    explicit ScriptedControl(Script& script) : s(script) {}
    ResultCode QueryStatus(ServiceStatus& out) noexcept override {
        if (++s.queries > 100000) {
            ADD_FAILURE() << "polls without end";
            return SuiteError(0x7FFF);
        }
        if (Succeeded(s.queryResult)) out = s.status(s);
        return s.queryResult;
    }
    ResultCode Start() noexcept override {
        s.attemptsAt.push_back(s.Elapsed());
        const ResultCode code = s.start(s.Elapsed());
        if (code == rc::Ok) ++s.startsOk;
        return code;
    }
    ResultCode QueryLockStatus(ServiceLockStatus& out) noexcept override {
        ++s.lockQueries;
        s.lockQueriedAt = s.Elapsed();
        if (Succeeded(s.lockQueryResult)) out = s.lock;
        return s.lockQueryResult;
    }
    std::uint32_t TickCount() noexcept override { return s.now; }
    void Sleep(std::uint32_t ms) noexcept override {
        s.slept.push_back(ms);
        s.now += ms;
    }
    Script& s;
};

struct ScriptedManager final : ServiceManager {
    explicit ScriptedManager(Script& script) : s(script) {}
    ResultCode Open(const std::wstring& name, std::unique_ptr<ServiceControl>& out) noexcept override {
        EXPECT_EQ(name, L"QorTdi");
        if (Succeeded(s.openResult)) out = std::make_unique<ScriptedControl>(s);
        return s.openResult;
    }
    Script& s;
};

Result StartQorTdi(Script& script) {
    ScriptedManager manager(script);
    return StartServiceAndWait(manager, L"QorTdi");
}

using Values = std::vector<QorException::NamedValue>;

TEST(StartServiceAndWait, StartedStatesAnswerAfterOneQuery) {
    for (std::uint32_t state = kServiceStopPending; state <= kServicePaused; ++state) {
        Script script;
        script.status = [state](auto&) { return State(state); };
        EXPECT_EQ(StartQorTdi(script).Code(), rc::Ok) << state;
        EXPECT_EQ(script.queries, 1);
        EXPECT_TRUE(script.attemptsAt.empty());
        EXPECT_TRUE(script.slept.empty());
    }
}

TEST(StartServiceAndWait, OpenAndQueryFailuresAreReturned) {
    Script unopened;
    unopened.openResult = ResultFromWin32(1060);
    EXPECT_EQ(static_cast<std::uint32_t>(StartQorTdi(unopened).Code()), 0xC0070424u);
    Script unqueried;
    unqueried.queryResult = ResultFromWin32(5);
    EXPECT_EQ(StartQorTdi(unqueried).Code(), ResultFromWin32(5));
}

// A refused start, or a service stopping after its start, gives its code.
TEST(StartServiceAndWait, StartFailuresAndTheExitCodeOfAServiceStoppingAfterItsStart) {
    struct Case { ResultCode start; std::uint32_t exitCode, specific; ResultCode expected; };
    for (const Case c : {Case{ResultFromWin32(1056), 0, 0, rc::Ok},  // started meanwhile by another
                         Case{ResultFromWin32(1058), 0, 0, ResultFromWin32(1058)},
                         Case{0, 0, 0, rc::Ok}, Case{0, 1066, 0xE0010077u, SuiteError(0x77)},
                         Case{0, 1066, 5, ResultFromWin32(1066)},  // not a failure code
                         Case{0, 31, 0, ResultFromWin32(31)}}) {
        SCOPED_TRACE(testing::Message() << c.start << " " << c.exitCode << " " << c.specific);
        Script script;
        script.status = [after = State(kServiceStopped, c.exitCode, c.specific)](const Script& s) {
            return s.startsOk > 0 ? after : State(kServiceStopped);
        };
        script.start = [code = c.start](std::uint32_t) { return code; };
        EXPECT_EQ(StartQorTdi(script).Code(), c.expected);
        EXPECT_EQ(script.attemptsAt.size(), 1u);
        EXPECT_EQ(script.queries, c.start == 0 ? 2 : 1);
    }
}

TEST(StartServiceAndWait, PendingWithoutProgressStallsAfterHintPlusEightySeconds) {
    struct Case { std::uint32_t hint, sleep, waited, firstTick; };
    for (const Case c : {Case{3000, 300, 83100, 5000}, Case{0, 250, 80250, 5000},
                         Case{200000, 10000, 290000, 5000},
                         Case{3000, 300, 83100, 0xFFFFFFFFu - 40000}}) {
        Script script(c.firstTick);
        script.status = [hint = c.hint](auto&) { return Pending(7, hint); };
        const Result result = StartQorTdi(script);
        ASSERT_EQ(result.Code(), rc::ServiceStartStalled) << c.hint;
        EXPECT_EQ(script.Elapsed(), c.waited);
        EXPECT_EQ(script.slept, std::vector<std::uint32_t>(c.waited / c.sleep, c.sleep));
        EXPECT_EQ(result.Record()->Values(),
                  (Values{{L"%NAME%", L"QorTdi"}, {L"%CHECK_POINT%", L"7"},
                          {L"%WAIT_HINT%", std::to_wstring(c.hint)},
                          {L"%WAIT_TIME%", std::to_wstring(c.waited)}}));
        EXPECT_TRUE(script.attemptsAt.empty());
    }
}

TEST(StartServiceAndWait, StallIsCountedFromTheLastCheckPointChange) {
    Script advancing;  // a new check point every minute for six minutes
    advancing.status = [](const Script& s) {
        return s.Elapsed() < 360000 ? Pending(s.Elapsed() / 60000, 3000) : State(kServiceRunning);
    };
    EXPECT_EQ(StartQorTdi(advancing).Code(), rc::Ok);
    EXPECT_EQ(advancing.Elapsed(), 360000u);

    Script patient;  // the largest hint still holds for ten minutes
    patient.status = [](const Script& s) {
        return s.Elapsed() < 600000 ? Pending(1, 0xFFFFFFFFu) : State(kServiceRunning);
    };
    EXPECT_EQ(StartQorTdi(patient).Code(), rc::Ok);

    Script stuck;  // check point 3 from three minutes on
    stuck.status = [](const Script& s) { return Pending(std::min(s.Elapsed() / 60000, 3u), 3000); };
    const Result result = StartQorTdi(stuck);
    ASSERT_EQ(result.Code(), rc::ServiceStartStalled);
    EXPECT_EQ(stuck.Elapsed(), 180000u + 83100u);
    EXPECT_EQ(result.Record()->Values(), (Values{{L"%NAME%", L"QorTdi"}, {L"%CHECK_POINT%", L"3"},
                                                 {L"%WAIT_HINT%", L"3000"}, {L"%WAIT_TIME%", L"83100"}}));
}

TEST(StartServiceAndWait, StartedServiceRunsAfterItsPendingPhase) {
    Script script;
    script.status = [](const Script& s) {
        if (s.startsOk == 0) return State(kServiceStopped);
        return s.Elapsed() < 5000 ? Pending(s.Elapsed() / 1000, 2000) : State(kServiceRunning);
    };
    EXPECT_EQ(StartQorTdi(script).Code(), rc::Ok);
    EXPECT_EQ(script.attemptsAt, std::vector<std::uint32_t>{0});
    EXPECT_EQ(script.slept, std::vector<std::uint32_t>(20, 250));
}

TEST(StartServiceAndWait, DatabaseLockedForThreeMinutesFailsNamingTheOwner) {
    for (const std::uint32_t firstTick : {5000u, 0xFFFFFFFFu - 60000}) {
        Script script(firstTick);
        script.start = [](std::uint32_t elapsed) { return elapsed < 180000 ? kLockedCode : 0; };
        const Result result = StartQorTdi(script);
        ASSERT_EQ(result.Code(), rc::ServiceDatabaseLocked) << firstTick;
        EXPECT_EQ(result.Record()->Values(),
                  (Values{{L"%USER%", L"NT AUTHORITY\\SYSTEM"}, {L"%TIME%", L"4242"}}));
        EXPECT_EQ(script.lockQueries, 1);
        EXPECT_GT(script.lockQueriedAt, 120000u);
        EXPECT_LT(script.lockQueriedAt, 120000u + 2000 + 1001 + 250);
        // Two seconds asleep after each locked answer, then at least 1001 ms of polling.
        const auto naps = std::count(script.slept.begin(), script.slept.end(), 2000u);
        EXPECT_EQ(static_cast<std::size_t>(naps), script.attemptsAt.size() - 1);
        EXPECT_EQ(naps + std::count(script.slept.begin(), script.slept.end(), 250u),
                  static_cast<std::ptrdiff_t>(script.slept.size()));
        for (std::size_t i = 1; i < script.attemptsAt.size(); ++i) {
            EXPECT_GE(script.attemptsAt[i] - script.attemptsAt[i - 1], 2000u + 1001);
        }
    }
}

TEST(StartServiceAndWait, DatabaseLockThatClearsLetsTheStartThrough) {
    Script brief;  // cleared before the patience ends
    brief.start = [](std::uint32_t elapsed) { return elapsed < 10000 ? kLockedCode : 0; };
    EXPECT_EQ(StartQorTdi(brief).Code(), rc::Ok);
    EXPECT_EQ(brief.startsOk, 1);
    EXPECT_GT(brief.attemptsAt.size(), 2u);
    EXPECT_EQ(brief.lockQueries, 0);

    Script unlocked;  // the lock query finds it free: keep trying
    unlocked.start = [](std::uint32_t elapsed) { return elapsed < 130000 ? kLockedCode : 0; };
    unlocked.lock.locked = false;
    EXPECT_EQ(StartQorTdi(unlocked).Code(), rc::Ok);
    EXPECT_GT(unlocked.lockQueries, 1);

    Script unanswered;
    unanswered.start = [](std::uint32_t) { return kLockedCode; };
    unanswered.lockQueryResult = ResultFromWin32(5);
    EXPECT_EQ(StartQorTdi(unanswered).Code(), ResultFromWin32(5));
}

using Sleeps = std::vector<std::uint32_t>;

// Exit-code answers in turn; the last one repeats.
struct ScriptedChild final : ChildWaitOps {
    struct Answer { ResultCode code; std::uint32_t exitCode; };
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

// That the child's own exit code is ignored is checked on a real child (win/process_launch_test).
TEST(PollChildExit, EndsOnExitOrFailedQueryAndStillRunningAfterTenSleepsIsSuccess) {
    const struct {
        std::vector<ScriptedChild::Answer> answers; ResultCode expected; std::size_t queries; Sleeps slept;
    } cases[] = {
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
    // A step's remaining budget: the last nap is what is left, none when nothing is.
    for (const auto& [budget, slept] : {std::pair{1200u, Sleeps{500, 500, 200}},
                                        std::pair{0u, Sleeps{}}}) {
        ScriptedChild child;
        child.answers = {{0, kStillActive}};
        EXPECT_EQ(PollChildExit(child, budget), 0);
        EXPECT_EQ(child.slept, slept);
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

    struct Arrival { std::uint32_t at; std::string data; };
    std::deque<Arrival> arrivals;
    std::string pending, written;
    std::uint32_t now = 0;
    bool writersGone = true, failWrites = false;
    int reads = 0;
};

// Large, late, silent and hung children are checked on real pipes (win/process_launch_test).
TEST(DrainPipe, CopiesInChunksAndStopsWhenAWriteFails) {
    FakePipe pipe;
    pipe.arrivals = {{0, std::string(2500, 'a')}, {300, "late"}, {4000, "later"}};
    EXPECT_EQ(DrainPipe(pipe, 60000), 0);
    EXPECT_EQ(pipe.written, std::string(2500, 'a') + "late" + "later");
    EXPECT_EQ(pipe.reads, 5);  // 1024, 1024, 452, then each late piece

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

// Children that end at the given times; a wait moves the clock to the end or the timeout.
struct ScriptedChildren final : ChildSetOps {
    std::vector<std::uint32_t> endsAt;
    std::vector<std::uint32_t> waits;
    std::uint32_t now = 0xFFFFFF00u;  // the clock wraps during the waits
    std::uint32_t start = now;
    std::size_t Count() noexcept override { return endsAt.size(); }
    bool WaitOne(std::size_t index, std::uint32_t milliseconds) noexcept override {
        waits.push_back(milliseconds);
        const std::uint32_t elapsed = now - start;
        if (endsAt[index] <= elapsed + milliseconds) {
            now = start + std::max(elapsed, endsAt[index]);
            return true;
        }
        now += milliseconds;
        return false;
    }
    std::uint32_t NowMs() noexcept override { return now; }
};

TEST(WaitForChildren, AllWithinOneBudget) {
    ScriptedChildren ended;
    ended.endsAt = {300, 900, 100};
    EXPECT_EQ(WaitForChildren(ended, 1000), rc::Ok);
    EXPECT_EQ(ended.waits, (std::vector<std::uint32_t>{1000, 700, 100}));

    ScriptedChildren slow;
    slow.endsAt = {300, 2000, 5000};
    EXPECT_EQ(WaitForChildren(slow, 1000), ResultFromWin32(1460));
    EXPECT_EQ(slow.waits, (std::vector<std::uint32_t>{1000, 700, 0}));

    ScriptedChildren none;
    EXPECT_EQ(WaitForChildren(none, 1000), rc::Ok);
}

}  // namespace
}  // namespace qor
