#include "frontend/shell_win.h"

#include <windows.h>
#include <shellapi.h>

#include <new>

#include "platform/process_launch.h"

namespace qor {

ResultCode WinShell::ShowInExplorer(const std::wstring& path) {
    std::wstring commandLine, program;
    try {
        commandLine = L"explorer.exe /select," + path;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
    // Found in the system folders only, never through the current directory or PATH.
    if (Failed(ResolveProgram(commandLine, program))) return rc::Ok;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                       CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return rc::Ok;
}

void WinShell::Open(const std::wstring& path) {
    ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOW);
}

}  // namespace qor
