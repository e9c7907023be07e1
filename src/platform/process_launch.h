#pragma once
// Starting the system's programs: hidden, with the tool's environment. Windows builds only.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/result.h"
#include "platform/child_wait.h"

namespace qor {

// How long a capture may read the child's output before it gives up on a hung child.
inline constexpr std::uint32_t kCaptureDeadlineMs = 3 * 60 * 1000;

// A bare program name (the command line's first token) is looked for in the system
// directory and then the Windows directory only, never in the current or the program's
// own directory; the child starts in the system directory.

// The program a bare first token stands for, from the system and Windows directories only
// (the file-system redirection in force decides which system directory that is). A name with
// a path leaves `program` empty: the system starts it as given.
[[nodiscard]] ResultCode ResolveProgram(std::wstring_view commandLine,
                                        std::wstring& program) noexcept;

// Starts the child and returns at once; its handle is kept for WaitForLaunchedChildren.
[[nodiscard]] ResultCode LaunchDetached(const std::wstring& commandLine) noexcept;

// Starts the child and waits at most `budgetMs` (five seconds at most) for it; a child still
// running is left so, its handle kept for WaitForLaunchedChildren.
// Answers the last exit-code query (a child that could not start fails that query).
[[nodiscard]] ResultCode LaunchAndWait(const std::wstring& commandLine,
                                       std::uint32_t budgetMs = kChildWaitBudgetMs) noexcept;

// As LaunchAndWait, but the child's standard output and error are read into `consoleText`
// (at most 64 KiB, its CR LF made LF as in the tool's console text) instead of reaching the
// console; what it writes after the wait is lost.
[[nodiscard]] ResultCode LaunchAndWaitHeld(const std::wstring& commandLine,
                                           std::wstring& consoleText,
                                           std::uint32_t budgetMs = kChildWaitBudgetMs) noexcept;

using CaptureClock = std::chrono::steady_clock;

// Whole milliseconds from now to `until`, 0 once it has passed.
[[nodiscard]] inline std::uint32_t MillisecondsUntil(CaptureClock::time_point until) noexcept {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - CaptureClock::now()).count();
    return left <= 0 ? 0 : static_cast<std::uint32_t>(std::min<long long>(left, 0xFFFFFFFFll));
}

// Appends the child's standard output and error, as written, to `outputPath`, until
// `deadline`: then what was read stays, the file is closed and the answer is a failure. The
// deadline also bounds the wait for another capture's start.
[[nodiscard]] ResultCode CaptureCommandOutput(const std::wstring& commandLine,
                                              const std::wstring& outputPath,
                                              CaptureClock::time_point deadline) noexcept;
// The same with a deadline `deadlineMs` from now.
[[nodiscard]] ResultCode CaptureCommandOutput(const std::wstring& commandLine,
                                              const std::wstring& outputPath,
                                              std::uint32_t deadlineMs = kCaptureDeadlineMs) noexcept;

// Closes the launching of children and waits for every child that LaunchDetached and
// LaunchAndWait left running, and for the starts under way, all within `budgetMs` together;
// the timeout code when one still runs then. None is terminated. Any start after the close
// is refused (ERROR_CANCELLED), until AcceptLaunchedChildren.
[[nodiscard]] ResultCode WaitForLaunchedChildren(std::uint32_t budgetMs) noexcept;

// Opens the launching again for a new run.
void AcceptLaunchedChildren() noexcept;

// Takes the current directory out of the process's DLL search and out of the program
// search of the children it starts (where the system offers the switches).
void HardenSearchPaths() noexcept;

}  // namespace qor
