#include "frontend/shell_win.h"

#include <windows.h>
#include <shellapi.h>

namespace qor {

void WinShell::ShowInExplorer(const std::wstring& path) {
    std::wstring commandLine = L"explorer.exe /select," + path;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                       CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

void WinShell::Open(const std::wstring& path) {
    ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOW);
}

}  // namespace qor
