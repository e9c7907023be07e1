#pragma once
// Starting the system's programs: hidden, with the tool's environment. Windows builds only.
#include <cstdint>
#include <string>
#include <string_view>

#include "common/result.h"

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

// Starts the child and waits at most five seconds for it; a child still running is left so,
// its handle kept for WaitForLaunchedChildren.
// Answers the last exit-code query (a child that could not start fails that query).
[[nodiscard]] ResultCode LaunchAndWait(const std::wstring& commandLine) noexcept;

// As LaunchAndWait, but the child's standard output and error are read into `consoleText`
// (at most 64 KiB, its CR LF made LF as in the tool's console text) instead of reaching the
// console; what it writes after the wait is lost.
[[nodiscard]] ResultCode LaunchAndWaitHeld(const std::wstring& commandLine,
                                           std::wstring& consoleText) noexcept;

// Appends the child's standard output and error, as written, to `outputPath`; gives up after
// `deadlineMs`, keeping what was read, and then answers a failure.
[[nodiscard]] ResultCode CaptureCommandOutput(const std::wstring& commandLine,
                                              const std::wstring& outputPath,
                                              std::uint32_t deadlineMs = kCaptureDeadlineMs) noexcept;

// Waits for every child that LaunchDetached and LaunchAndWait left running, all of them
// within `budgetMs` together; the timeout code when one still runs then. None is terminated.
[[nodiscard]] ResultCode WaitForLaunchedChildren(std::uint32_t budgetMs) noexcept;

// Takes the current directory out of the process's DLL search and out of the program
// search of the children it starts (where the system offers the switches).
void HardenSearchPaths() noexcept;

}  // namespace qor
