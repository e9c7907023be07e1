#pragma once
// Steps started before their turn, side by side on worker threads: steps that wait for
// other programs and do not depend on each other. The run takes each one's outcome at the
// step's own turn, so its console and its log keep their order.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "diag/run/run_log.h"
#include "diag/run/step_runner.h"

namespace qor {

inline constexpr unsigned kMaxStepsAtOnce = 3;

// How many steps may run side by side: one on a single processor, else the whole number
// (1 to kMaxStepsAtOnce) that `setting` asks for, or kMaxStepsAtOnce.
unsigned StepsAtOnceFromText(std::uint32_t processors, const std::wstring* setting);

struct AheadStep {
    int key;
    StepWork work;
};

class StepsAhead {
public:
    struct Outcome {
        ResultCode code = rc::Ok;
        std::uint64_t milliseconds = 0;  // the step's own time, not the wait for it
        std::wstring text;               // what the step's work left in its text
    };

    // Starts up to `atOnce` workers on `steps`, in the order given; every step has its own
    // deadline from its start, through a step runner of its worker.
    StepsAhead(unsigned atOnce, std::vector<AheadStep> steps, std::uint32_t deadlineMs,
               StepThreadFactory threads, MillisecondClock clock);
    StepsAhead(const StepsAhead&) = delete;
    StepsAhead& operator=(const StepsAhead&) = delete;
    // Starts no further step and waits for the ones running, each within its deadline; a
    // worker still busy then is left to end alone (workers are never joined).
    ~StepsAhead();

    // Waits for the step of `key`: a worker's step at most its deadline from its start;
    // a step no worker has started within one deadline, or that no worker is left to start,
    // runs now on `here`.
    Outcome Take(int key, StepRunner& here);

private:
    struct Entry {
        AheadStep step;
        bool started = false;
        bool finished = false;
        std::chrono::steady_clock::time_point startedAt{};
        Outcome outcome;
    };
    // Everything a worker uses; workers share it, so it outlives the owner when they do.
    struct Shared {
        std::mutex mutex;
        std::condition_variable finished;
        std::vector<Entry> entries;
        int workers = 0;  // the workers still serving
        bool stopping = false;
        std::uint32_t deadlineMs = 0;
        StepThreadFactory threads;
        MillisecondClock clock;
    };

    static void Work(const std::shared_ptr<Shared>& shared) noexcept;
    static void Serve(Shared& shared, StepRunner& runner);
    static Outcome Timed(const Shared& shared, StepRunner& runner, const StepWork& work) noexcept;

    std::shared_ptr<Shared> shared_;
};

}  // namespace qor
