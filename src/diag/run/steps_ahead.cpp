#include "diag/run/steps_ahead.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <utility>

namespace qor {

unsigned StepsAtOnceFromText(std::uint32_t processors, const std::wstring* setting) {
    if (processors <= 1) return 1;
    return WholeNumberSetting(setting, 1, kMaxStepsAtOnce).value_or(kMaxStepsAtOnce);
}

StepsAhead::StepsAhead(unsigned atOnce, std::vector<AheadStep> steps, std::uint32_t deadlineMs,
                       StepThreadFactory threads, MillisecondClock clock)
    : deadlineMs_(deadlineMs), threads_(std::move(threads)), clock_(std::move(clock)) {
    for (AheadStep& step : steps) {
        shared_.entries.push_back(Entry{std::move(step), false, false, Outcome{}});
    }
    const std::size_t workers = std::min<std::size_t>(atOnce, shared_.entries.size());
    workers_.reserve(workers);
    for (std::size_t i = 0; i < workers; ++i) {
        std::unique_lock lock(shared_.mutex);
        shared_.workers += 1;
        lock.unlock();
        try {
            workers_.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            lock.lock();
            shared_.workers -= 1;
            break;  // fewer workers; without any, Take runs each step itself
        }
    }
}

// A worker's life; when it ends, the steps it left unstarted may run at their turn.
void StepsAhead::Work() noexcept {
    try {
        StepRunner runner(deadlineMs_, threads_);
        Serve(runner);
    } catch (const std::exception&) {
    }
    const std::lock_guard lock(shared_.mutex);
    shared_.workers -= 1;
    shared_.finished.notify_all();
}

StepsAhead::~StepsAhead() {
    {
        const std::lock_guard lock(shared_.mutex);
        shared_.stopping = true;
    }
    for (std::thread& worker : workers_) worker.join();
}

StepsAhead::Outcome StepsAhead::Take(int key, StepRunner& here) {
    std::unique_lock lock(shared_.mutex);
    const auto entry = std::find_if(shared_.entries.begin(), shared_.entries.end(),
                                    [key](const Entry& each) { return each.step.key == key; });
    if (entry == shared_.entries.end()) return Outcome{rc::NotFound, 0, {}};
    // While a worker is left it starts the step in its order: the caller never adds a step
    // to the ones running.
    shared_.finished.wait(lock, [&] {
        return entry->finished || (!entry->started && shared_.workers == 0);
    });
    if (entry->finished) return std::move(entry->outcome);
    entry->started = true;
    lock.unlock();
    return Timed(here, entry->step.work);
}

// Takes the first step not yet started until none is left or the owner stops.
void StepsAhead::Serve(StepRunner& runner) {
    std::unique_lock lock(shared_.mutex);
    for (;;) {
        const auto next = std::find_if(shared_.entries.begin(), shared_.entries.end(),
                                       [](const Entry& entry) { return !entry.started; });
        if (shared_.stopping || next == shared_.entries.end()) return;
        next->started = true;
        lock.unlock();
        Outcome outcome = Timed(runner, next->step.work);
        lock.lock();
        next->outcome = std::move(outcome);
        next->finished = true;
        shared_.finished.notify_all();
    }
}

// A step that cannot get a thread or memory fails with OutOfMemory.
StepsAhead::Outcome StepsAhead::Timed(StepRunner& runner, const StepWork& work) const noexcept {
    Outcome outcome;
    const std::uint64_t start = clock_();
    try {
        outcome.code = runner.Run(work, outcome.text);
    } catch (const std::exception&) {
        outcome.code = rc::OutOfMemory;
    }
    outcome.milliseconds = clock_() - start;
    return outcome;
}

}  // namespace qor
