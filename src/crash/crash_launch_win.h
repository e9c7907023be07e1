#pragma once
// Starting the suite's dump tools on a crash. Everything the native launch needs is prepared
// beforehand, so that launch allocates nothing.
#include <windows.h>

#include "crash/crash_command.h"

namespace qor {

// Once, before any crash: the tools' paths in the program's own folder, when that folder is
// trusted (see ProductInstallation::TrustedOwnFolder), and the native launch's process
// parameters. False, and no tool is ever started, when the folder is not trusted or the
// native launch cannot be prepared.
bool PrepareDumpToolLaunch(const CrashSettings& settings) noexcept;

// "qordumpx.exe" through CreateProcessW; waits for it or the event at most 300000 ms.
void LaunchDumpTool(const CrashDumpRequest& request, const CrashSettings& settings) noexcept;

// "qorntdumpx.exe" through the native process call; the event reaches it by inheritance.
void LaunchNativeDumpTool(const CrashDumpRequest& request, const CrashSettings& settings) noexcept;

// The native event of the heap-corruption path: manual reset, not signalled, inheritable.
HANDLE CreateNativeCrashEvent() noexcept;
void CloseNativeHandle(HANDLE handle) noexcept;

// The calling thread's id without the Win32 layer.
DWORD NativeCurrentThreadId() noexcept;

}  // namespace qor
