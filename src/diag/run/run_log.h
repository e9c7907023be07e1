#pragma once
// The run's own record of its steps: message, outcome, result code and duration, one line
// each, for the package ("runlog.txt").
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/result.h"

namespace qor {

// Milliseconds from any fixed point.
using MillisecondClock = std::function<std::uint64_t()>;

// A steady clock of this process.
MillisecondClock SteadyMilliseconds();

class RunLog {
public:
    explicit RunLog(MillisecondClock clock);

    // A step whose message was printed; its trailing "..." or ":" is not kept.
    void Begin(std::wstring_view message);
    // One outcome of the current step, timed from its start or from its previous outcome.
    void End(ResultCode code);
    // The outcome of a step that ran elsewhere and took `milliseconds`.
    void End(ResultCode code, std::uint64_t milliseconds);
    // A step that was not run.
    void Skipped(std::wstring_view message);

    // Every line so far, then the total time since the log was made.
    std::wstring Text() const;

private:
    void Line(std::wstring_view message, const wchar_t* outcome, ResultCode code,
              std::uint64_t milliseconds);

    MillisecondClock clock_;
    std::uint64_t started_;
    std::uint64_t stepStarted_ = 0;
    std::wstring step_;
    std::wstring lines_;
};

}  // namespace qor
