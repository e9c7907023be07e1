#pragma once
// Process-wide crash handling, installed by a static initialiser before the entry point:
// the suite's dump tool is started on an unhandled exception, a heap corruption, an invalid
// parameter passed to the runtime or an uncaught C++ exception.
#include <windows.h>

#include <cstdint>

namespace qor {

// The unhandled-exception filter: starts "qordumpx.exe", then lets the system end the process.
LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pointers) noexcept;

// First vectored handler: starts "qorntdumpx.exe" on the first non-continuable heap
// corruption of the process.
LONG NTAPI HeapCorruptionWatcher(EXCEPTION_POINTERS* pointers) noexcept;

// The runtime's invalid-parameter handler: the dump tool, then the end of the process.
void __cdecl InvalidParameterHandler(const wchar_t* expression, const wchar_t* function,
                                     const wchar_t* file, unsigned int line,
                                     std::uintptr_t reserved);

// What the installation managed; the C runtime may lack the invalid-parameter switch.
struct CrashHandlingState {
    bool filterInstalled = false;
    bool watcherInstalled = false;
    bool invalidParameterHandlerInstalled = false;
    bool nativeLaunchPrepared = false;
};
const CrashHandlingState& InstalledCrashHandling() noexcept;

// Finds the dump tools the handling starts, once the library and program search is
// restricted: the check of their folder reads the registry and the folder's security.
void PrepareCrashDumpTools() noexcept;

}  // namespace qor
