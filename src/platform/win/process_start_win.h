#pragma once
// Starting a program by its full path and keeping its process handle.
#include <string>

#include "common/result.h"
#include "platform/win/unique_handle_win.h"

namespace qor {

// Starts exactly `program`, a full path (a relative one is refused), with `commandLine`,
// hidden, in the system directory, as the other launch helpers do; `process` receives the
// child's handle.
[[nodiscard]] ResultCode LaunchProgram(const std::wstring& program, const std::wstring& commandLine,
                                       KernelHandle& process) noexcept;

}  // namespace qor
