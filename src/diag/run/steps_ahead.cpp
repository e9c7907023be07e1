#include "diag/run/steps_ahead.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>

namespace qor {
namespace {

using Clock = std::chrono::steady_clock;

// Time a worker's runner may take past a step's deadline to hand its outcome over.
constexpr std::chrono::milliseconds kHandOverGrace{500};

}  // namespace

unsigned StepsAtOnceFromText(std::uint32_t processors, const std::wstring* setting) {
    if (processors <= 1) return 1;
    return WholeNumberSetting(setting, 1, kMaxStepsAtOnce).value_or(kMaxStepsAtOnce);
}

StepsAhead::StepsAhead(unsigned atOnce, std::vector<AheadStep> steps, std::uint32_t deadlineMs,
                       StepThreadFactory threads, MillisecondClock clock)
    : shared_(std::make_shared<Shared>()) {
    shared_->deadlineMs = deadlineMs;
    shared_->threads = std::move(threads);
    shared_->clock = std::move(clock);
    for (AheadStep& step : steps) shared_->entries.push_back(Entry{std::move(step), false, false, {}, Outcome{}});
    const std::size_t workers = std::min<std::size_t>(atOnce, shared_->entries.size());
    for (std::size_t i = 0; i < workers; ++i) {
        std::unique_lock lock(shared_->mutex);
        shared_->workers += 1;
        lock.unlock();
        try {
            std::thread([shared = shared_] { Work(shared); }).detach();
        } catch (const std::system_error&) {
            lock.lock();
            shared_->workers -= 1;
            break;  // fewer workers; without any, Take runs each step itself
        }
    }
}

// A worker's life; when it ends, the steps it left unstarted may run at their turn.
void StepsAhead::Work(const std::shared_ptr<Shared>& shared) noexcept {
    try {
        StepRunner runner(shared->deadlineMs, shared->threads);
        Serve(*shared, runner);
    } catch (const std::exception&) {
    }
    const std::lock_guard lock(shared->mutex);
    shared->workers -= 1;
    shared->finished.notify_all();
}

StepsAhead::~StepsAhead() {
    std::unique_lock lock(shared_->mutex);
    shared_->stopping = true;
    Clock::time_point bound = Clock::now();
    for (const Entry& entry : shared_->entries) {
        if (entry.started && !entry.finished) {
            bound = std::max(bound, entry.startedAt +
                                        std::chrono::milliseconds(shared_->deadlineMs) +
                                        kHandOverGrace);
        }
    }
    (void)shared_->finished.wait_until(lock, bound, [&] { return shared_->workers == 0; });
}

StepsAhead::Outcome StepsAhead::Take(int key, StepRunner& here) {
    Shared& shared = *shared_;
    std::unique_lock lock(shared.mutex);
    const auto entry = std::find_if(shared.entries.begin(), shared.entries.end(),
                                    [key](const Entry& each) { return each.step.key == key; });
    if (entry == shared.entries.end()) return Outcome{rc::NotFound, 0, {}};
    const auto deadline = std::chrono::milliseconds(shared.deadlineMs);
    const Clock::time_point notTakenBy = Clock::now() + deadline;
    // While a worker is left it starts the step in its order: the caller never adds a step
    // to the ones running, unless the workers are stuck.
    for (;;) {
        if (entry->finished) return std::move(entry->outcome);
        const Clock::time_point now = Clock::now();
        if (!entry->started && (shared.workers == 0 || now >= notTakenBy)) break;
        const Clock::time_point givenUpAt = entry->startedAt + deadline + kHandOverGrace;
        if (entry->started && now >= givenUpAt) {
            entry->finished = true;  // the worker's late outcome is dropped
            NoteStepAbandoned();
            return Outcome{ResultFromWin32(kWin32Timeout), shared.deadlineMs, {}};
        }
        (void)shared.finished.wait_until(lock, entry->started ? givenUpAt : notTakenBy);
    }
    entry->started = true;
    entry->startedAt = Clock::now();
    lock.unlock();
    Outcome outcome = Timed(shared, here, entry->step.work);
    lock.lock();
    entry->finished = true;
    return outcome;
}

// Takes the first step not yet started until none is left or the owner stops.
void StepsAhead::Serve(Shared& shared, StepRunner& runner) {
    std::unique_lock lock(shared.mutex);
    for (;;) {
        const auto next = std::find_if(shared.entries.begin(), shared.entries.end(),
                                       [](const Entry& entry) { return !entry.started; });
        if (shared.stopping || next == shared.entries.end()) return;
        next->started = true;
        next->startedAt = Clock::now();
        lock.unlock();
        Outcome outcome = Timed(shared, runner, next->step.work);
        lock.lock();
        if (!next->finished) {
            next->outcome = std::move(outcome);
            next->finished = true;
        }
        shared.finished.notify_all();
    }
}

// A step that cannot get a thread or memory fails with OutOfMemory.
StepsAhead::Outcome StepsAhead::Timed(const Shared& shared, StepRunner& runner,
                                      const StepWork& work) noexcept {
    Outcome outcome;
    const std::uint64_t start = shared.clock();
    try {
        outcome.code = runner.Run(work, outcome.text);
    } catch (const std::exception&) {
        outcome.code = rc::OutOfMemory;
    }
    outcome.milliseconds = shared.clock() - start;
    return outcome;
}

}  // namespace qor
