#include "frontend/shell_win.h"

#include <windows.h>

#include <new>

#include "platform/process_launch.h"

namespace qor {

namespace {

// Started in the system folder and let go; whether it starts is not looked at.
void StartAndForget(const std::wstring& program, std::wstring& commandLine) {
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                       CREATE_DEFAULT_ERROR_MODE, nullptr, system, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

}  // namespace

ResultCode WinShell::ShowInExplorer(const std::wstring& path) {
    std::wstring commandLine, program;
    try {
        commandLine = L"explorer.exe /select," + path;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
    // Found in the system folders only, never through the current directory or PATH.
    if (Failed(ResolveProgram(commandLine, program))) return rc::Ok;
    StartAndForget(program, commandLine);
    return rc::Ok;
}

// The system's Notepad by its full path: the shell's file associations, which the user's own
// classes override, play no part.
void WinShell::Open(const std::wstring& path) {
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    try {
        const std::wstring program = std::wstring(system, length) + L"\\notepad.exe";
        std::wstring commandLine = L"\"" + program + L"\" \"" + path + L"\"";
        StartAndForget(program, commandLine);
    } catch (const std::bad_alloc&) {
    }
}

}  // namespace qor
