// runexit CHILD-COMMAND-LINE
// Runs the rest of its own command line with the same standard handles and writes the
// child's full 32-bit exit code to stderr as "exit code: 0x%08lx" (a Linux exit status keeps
// only 8 bits). "{U+XXXX}" in the command line stands for that one UTF-16 code unit, so a
// test can pass what a Linux argv cannot hold, such as an unpaired surrogate.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

const wchar_t* SkipProgramName(const wchar_t* line) {
    if (*line == L'"') {
        ++line;
        while (*line && *line != L'"') ++line;
        if (*line) ++line;
    } else {
        while (*line && *line != L' ' && *line != L'\t') ++line;
    }
    while (*line == L' ' || *line == L'\t') ++line;
    return line;
}

std::wstring DecodeEscapes(const wchar_t* tail) {
    std::wstring out;
    for (const wchar_t* p = tail; *p;) {
        unsigned unit = 0;
        int used = 0;
        if (std::swscanf(p, L"{U+%4x}%n", &unit, &used) == 1 && used == 9) {
            out += static_cast<wchar_t>(unit);
            p += used;
        } else {
            out += *p++;
        }
    }
    return out;
}

}  // namespace

int wmain() {
    std::wstring command = DecodeEscapes(SkipProgramName(GetCommandLineW()));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fwprintf(stderr, L"runexit: cannot start child, error %lu\n", GetLastError());
        return 255;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    std::fwprintf(stderr, L"exit code: 0x%08lx\n", code);
    return static_cast<int>(code);
}
