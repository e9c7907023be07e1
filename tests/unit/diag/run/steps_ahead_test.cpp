#include "diag/run/steps_ahead.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace qor {
namespace {

using namespace std::chrono_literals;

TEST(StepsAtOnce, OneProcessorOrTheSettingFromOneToThree) {
    const std::wstring one = L"1", two = L"2", three = L"3";
    EXPECT_EQ(StepsAtOnceFromText(1, nullptr), 1u);
    EXPECT_EQ(StepsAtOnceFromText(0, &three), 1u);
    EXPECT_EQ(StepsAtOnceFromText(1, &three), 1u);
    EXPECT_EQ(StepsAtOnceFromText(2, nullptr), 3u);
    EXPECT_EQ(StepsAtOnceFromText(8, &one), 1u);
    EXPECT_EQ(StepsAtOnceFromText(2, &two), 2u);
    for (const wchar_t* other : {L"", L"0", L"4", L"12", L"x", L" 2"}) {
        const std::wstring text = other;
        EXPECT_EQ(StepsAtOnceFromText(2, &text), 3u) << text.size();
    }
}

// Steps that hold until released, counting how many are inside at once.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    int inside = 0, most = 0, entered = 0;
    bool open = false;

    StepWork Step(ResultCode code) {
        return [this, code](std::wstring&) {
            std::unique_lock lock(mutex);
            most = std::max(most, ++inside);
            ++entered;
            changed.notify_all();
            changed.wait_for(lock, 10s, [this] { return open; });
            --inside;
            return code;
        };
    }
    // False when `count` steps did not get inside in time.
    bool AwaitEntered(int count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 10s, [&] { return entered >= count; });
    }
    void Open() {
        const std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
};

TEST(StepsAhead, NoMoreThanItsWorkersAtOnceAndEachOutcomeByKey) {
    Gate gate;
    std::vector<AheadStep> steps;
    for (int key = 0; key < 5; ++key) steps.push_back({key, gate.Step(100 + key)});
    StepsAhead ahead(3, std::move(steps), kDefaultStepDeadlineMs, MakeStepThread,
                     SteadyMilliseconds());
    ASSERT_TRUE(gate.AwaitEntered(3));
    std::this_thread::sleep_for(50ms);  // a fourth worker would have entered by now
    gate.Open();
    StepRunner here(kDefaultStepDeadlineMs, MakeStepThread);
    for (const int key : {2, 0, 1, 3, 4}) EXPECT_EQ(ahead.Take(key, here).code, 100 + key);
    EXPECT_EQ(gate.most, 3);
    EXPECT_EQ(ahead.Take(9, here).code, rc::NotFound);
}

// A step thread whose work overruns when it is the one named; the clock is moved by the work.
struct OverrunOn final : StepThread {
    OverrunOn(std::atomic<int>& callCount, int overrunCall) : calls(callCount), overrun(overrunCall) {}
    bool Run(std::function<void()> work, std::uint32_t) override {
        if (calls++ == overrun) return false;
        work();
        return true;
    }
    std::atomic<int>& calls;
    int overrun;
};

TEST(StepsAhead, OverrunIsThatStepsTimeoutAndTheWorkerGoesOnWithAFreshThread) {
    std::atomic<int> calls{0}, made{0}, ran{0};
    std::atomic<std::uint64_t> now{0};
    const StepThreadFactory threads = [&] {
        ++made;
        return std::make_unique<OverrunOn>(calls, 1);
    };
    std::vector<AheadStep> steps;
    for (int key = 0; key < 3; ++key) {
        steps.push_back({key, [&, key](std::wstring& text) {
                             ++ran;
                             now += 40;
                             text = L"step " + std::to_wstring(key);
                             return key == 2 ? rc::NotSupported : rc::Ok;
                         }});
    }
    StepsAhead ahead(1, std::move(steps), 1000, threads, [&] { return now.load(); });
    for (int i = 0; i < 1000 && calls < 3; ++i) std::this_thread::sleep_for(10ms);
    ASSERT_EQ(calls, 3);  // the worker has handed all three to its threads
    StepRunner here(1000, threads);
    const StepsAhead::Outcome first = ahead.Take(0, here), second = ahead.Take(1, here),
                              third = ahead.Take(2, here);
    EXPECT_EQ(first.code, rc::Ok);
    EXPECT_EQ(first.milliseconds, 40u);
    EXPECT_EQ(second.code, ResultFromWin32(kWin32Timeout));
    EXPECT_EQ(first.text, L"step 0");
    EXPECT_EQ(second.text, L"");  // an overrun step gives no text
    EXPECT_EQ(third.code, rc::NotSupported);
    EXPECT_EQ(third.milliseconds, 40u);
    EXPECT_EQ(third.text, L"step 2");
    EXPECT_EQ(ran, 2);
    EXPECT_EQ(made, 3);  // the worker's thread and spare, and a new spare after the overrun
}

// Without workers (a thread that could not be made) each step runs at its turn on the
// caller's runner; a step never taken is never run.
TEST(StepsAhead, WithoutWorkersAStepRunsAtItsTurnOnTheCaller) {
    std::vector<std::thread::id> ranOn;
    std::vector<AheadStep> steps;
    for (int key = 0; key < 2; ++key) {
        steps.push_back({key, [&](std::wstring&) {
                             ranOn.push_back(std::this_thread::get_id());
                             return rc::Ok;
                         }});
    }
    std::thread::id runnerThread;
    StepRunner here(1000, MakeStepThread);
    (void)here.Run([&](std::wstring&) {
        runnerThread = std::this_thread::get_id();
        return rc::Ok;
    });
    {
        StepsAhead ahead(0, std::move(steps), 1000, MakeStepThread, SteadyMilliseconds());
        EXPECT_EQ(ahead.Take(0, here).code, rc::Ok);
    }
    EXPECT_EQ(ranOn, std::vector<std::thread::id>{runnerThread});
}

// A step thread that never ends its work: a worker handing it a step is stuck until the
// latch opens. Counts are shared, as the threads outlive the steps ahead.
struct Stuck {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    int made = 0, gone = 0;

    StepThreadFactory Threads(const std::shared_ptr<Stuck>& self) {
        return [self]() -> std::unique_ptr<StepThread> { return std::make_unique<Thread>(self); };
    }
    struct Thread final : StepThread {
        explicit Thread(std::shared_ptr<Stuck> stuck) : latch(std::move(stuck)) {
            const std::lock_guard lock(latch->mutex);
            ++latch->made;
        }
        ~Thread() override {
            const std::lock_guard lock(latch->mutex);
            ++latch->gone;
            latch->changed.notify_all();
        }
        bool Run(std::function<void()>, std::uint32_t) override {
            std::unique_lock lock(latch->mutex);
            latch->changed.wait(lock, [&] { return latch->open; });
            return false;
        }
        std::shared_ptr<Stuck> latch;
    };
    void Open() {
        const std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
    bool AwaitAllGone() {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 10s, [&] { return made > 0 && gone == made; });
    }
};

std::chrono::milliseconds Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

// A worker that never comes back: Take gives its step up a little after the deadline, the
// next step runs at its turn on the caller, the owner's end waits no longer, and a step
// left unstarted never runs, not even once the worker is free again.
TEST(StepsAhead, AWorkerThatNeverEndsCostsItsStepsDeadlineOnly) {
    const auto stuck = std::make_shared<Stuck>();
    auto ran = std::make_shared<std::atomic<int>>(0);
    const StepWork counted = [ran](std::wstring&) {
        ++*ran;
        return rc::Ok;
    };
    std::vector<AheadStep> steps{{0, counted}, {1, counted}, {2, counted}};
    const auto start = std::chrono::steady_clock::now();
    {
        StepsAhead ahead(1, std::move(steps), 1000, stuck->Threads(stuck), SteadyMilliseconds());
        StepRunner here(1000, MakeStepThread);
        const StepsAhead::Outcome first = ahead.Take(0, here);
        EXPECT_EQ(first.code, ResultFromWin32(kWin32Timeout));
        EXPECT_TRUE(StepThreadAbandoned());
        EXPECT_EQ(ahead.Take(1, here).code, rc::Ok);  // not started by the worker: runs here
        EXPECT_EQ(*ran, 1);
    }  // step 2 is never taken
    EXPECT_LT(Since(start), 8s);  // Take, its wait for a worker and the end: each bounded
    stuck->Open();
    ASSERT_TRUE(stuck->AwaitAllGone());  // the worker has ended
    EXPECT_EQ(*ran, 1);
}

}  // namespace
}  // namespace qor
