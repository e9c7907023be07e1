#pragma once
// Every step of the run on a step thread, waited for with a deadline: a step that hangs in
// code the tool does not own costs that step, never the package.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/result.h"

namespace qor {

inline constexpr std::uint32_t kDefaultStepDeadlineMs = 120 * 1000;
inline constexpr std::uint32_t kMaxStepDeadlineSeconds = 3600;
// ERROR_TIMEOUT through the shared table: the result of a step that overran.
inline constexpr std::uint32_t kWin32Timeout = 1460;

// A setting's whole number from `low` to `high`, in no more digits than `high` has; nothing
// for anything else (or no text).
std::optional<std::uint32_t> WholeNumberSetting(const std::wstring* text, std::uint32_t low,
                                                std::uint32_t high);

// The deadline a QORFWDIAG_STEP_TIMEOUT value asks for: whole seconds from 1 to 3600;
// anything else (or no value) gives the default.
std::uint32_t StepDeadlineFromText(const std::wstring* seconds);

// The thread the steps run on, one piece of work at a time.
class StepThread {
public:
    virtual ~StepThread() = default;
    // Runs `work` on this thread; true when it finished within `milliseconds`. After false
    // the thread is given up: it is never used or waited for again, and work it had not
    // taken yet never runs.
    [[nodiscard]] virtual bool Run(std::function<void()> work, std::uint32_t milliseconds) = 0;
};

using StepThreadFactory = std::function<std::unique_ptr<StepThread>()>;

// A thread of this process, never joined: given up or dropped, it is left to end alone.
std::unique_ptr<StepThread> MakeStepThread();

// A step's work: it fills the text it is given, which only it owns until it ends.
using StepWork = std::function<ResultCode(std::wstring& text)>;

class StepRunner {
public:
    StepRunner(std::uint32_t deadlineMs, StepThreadFactory threads);

    // The work's result, and its text moved into `text`, when it ends within the deadline;
    // otherwise the timeout code, `text` untouched and the late result dropped. The next
    // step then goes to the spare thread, started before the overrun (a thread started after
    // a step was given up inside a module may never get past the loader), and a new spare
    // is started.
    ResultCode Run(StepWork work, std::wstring& text);
    ResultCode Run(StepWork work);

    std::uint32_t DeadlineMs() const noexcept { return deadlineMs_; }

private:
    std::unique_ptr<StepThread> SpareThread() noexcept;

    std::uint32_t deadlineMs_;
    StepThreadFactory threads_;
    std::unique_ptr<StepThread> thread_;
    std::unique_ptr<StepThread> spare_;
};

// True once any step of this process was given up: a thread may still be inside a module
// and hold its locks, so the process should end without the modules' detach code.
bool StepThreadAbandoned() noexcept;
// Records that a step was given up where no step runner saw it.
void NoteStepAbandoned() noexcept;

}  // namespace qor
