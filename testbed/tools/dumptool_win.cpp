// Stand-in for the suite's crash-dump tools ("qordumpx.exe", "qorntdumpx.exe").
// Appends one line to NAME.log beside itself: its command line, then the exception code it
// reads through "-c TID POINTERS" from the process of "-p PID". Then it signals the event of
// "-e EVENT" and stays a while, so that only the event can release the crashing process.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr DWORD kLingerMs = 90000;

// The hexadecimal value after `option` ("-p 0x1c"); `skip` values further on.
bool HexAfter(const wchar_t* line, const wchar_t* option, int skip, ULONG_PTR& value) {
    const wchar_t* at = std::wcsstr(line, option);
    if (!at) return false;
    at += std::wcslen(option);
    for (int i = 0; i <= skip; ++i) {
        wchar_t* end = nullptr;
        const unsigned long long parsed = std::wcstoull(at, &end, 16);
        if (end == at) return false;
        value = static_cast<ULONG_PTR>(parsed);
        at = end;
    }
    return true;
}

// The exception code the crashing process's pointers lead to; 0 when unreadable.
DWORD ExceptionCodeOf(ULONG_PTR processId, ULONG_PTR pointersAddress) {
    HANDLE process = OpenProcess(PROCESS_VM_READ, FALSE, static_cast<DWORD>(processId));
    if (!process) return 0;
    EXCEPTION_POINTERS pointers{};
    EXCEPTION_RECORD record{};
    SIZE_T read = 0;
    DWORD code = 0;
    if (ReadProcessMemory(process, reinterpret_cast<void*>(pointersAddress), &pointers,
                          sizeof(pointers), &read) &&
        ReadProcessMemory(process, pointers.ExceptionRecord, &record, sizeof(record), &read)) {
        code = record.ExceptionCode;
    }
    CloseHandle(process);
    return code;
}

void AppendLog(const std::wstring& line) {
    wchar_t path[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length < 4 || length >= MAX_PATH) return;
    std::wcscpy(path + length - 4, L".log");
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    char text[2048];
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, text, sizeof(text),
                                          nullptr, nullptr);
    DWORD written = 0;
    if (bytes > 1) WriteFile(file, text, static_cast<DWORD>(bytes - 1), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int wmain() {
    const wchar_t* line = GetCommandLineW();
    ULONG_PTR processId = 0;
    ULONG_PTR pointers = 0;
    ULONG_PTR event = 0;
    DWORD code = 0;
    if (HexAfter(line, L" -p ", 0, processId) && HexAfter(line, L" -c ", 1, pointers)) {
        code = ExceptionCodeOf(processId, pointers);
    }
    wchar_t codeText[32];
    std::swprintf(codeText, 32, L"\tcode=0x%08lX\n", code);
    AppendLog(line + std::wstring(codeText));
    if (HexAfter(line, L" -e ", 0, event) && event) SetEvent(reinterpret_cast<HANDLE>(event));
    Sleep(kLingerMs);
    return 0;
}
