#pragma once
#include <cstdint>
#include <memory>

#include "diag/run/fs_redirection.h"
#include "diag/run/report_page.h"

namespace qor {

// Enables SeDebugPrivilege in the process token.
[[nodiscard]] ResultCode EnableDebugPrivilege() noexcept;

// Usable only in a 32-bit process under WOW64 on a 64-bit system of version 5.1 or later
// whose ntdll has the redirection function.
std::unique_ptr<FsRedirection> MakeFsRedirection();

// The step deadline set by QORFWDIAG_STEP_TIMEOUT, or the default.
std::uint32_t StepDeadlineFromEnvironment();

// How many steps may run side by side: QORFWDIAG_STEPS_AT_ONCE (1 to 3), or 3; one on a
// single processor.
unsigned StepsAtOnceFromEnvironment();

// Ends the process with `exitCode` without the modules' detach code: a step thread given up
// inside a module may hold the locks a normal exit needs. Standard output is flushed first.
[[noreturn]] void EndProcessWithoutDetach(int exitCode) noexcept;

// The system's message texts (English where it has them) and the local clock.
PageSystem WinPageSystem();

}  // namespace qor
