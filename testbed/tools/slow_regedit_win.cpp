// slow_regedit /e[:a] FILE KEY
// A registry editor whose export takes six seconds: it holds FILE open without sharing while
// it writes a made-up export of KEY in six parts, one a second, and then appends
// "FILE<TAB>size" to "slow_regedit.log" beside itself. Placed as the system folder's
// regedit.exe, it stands for a large export on a real computer.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr int kParts = 6;

std::wstring BesideSelf(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring self(path, length < MAX_PATH ? length : 0);
    return self.substr(0, self.find_last_of(L'\\') + 1) + name;
}

bool WriteText(HANDLE file, const std::string& text) {
    DWORD written = 0;
    return WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

void RecordSize(const wchar_t* exported, unsigned long size) {
    HANDLE log = CreateFileW(BesideSelf(L"slow_regedit.log").c_str(), FILE_APPEND_DATA,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return;
    char line[600];
    const int length = std::snprintf(line, sizeof line, "%ls\t%lu\n", exported, size);
    if (length > 0) WriteText(log, std::string(line, static_cast<std::size_t>(length)));
    CloseHandle(log);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4 || std::wcsncmp(argv[1], L"/e", 2) != 0) return 2;
    HANDLE file = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    bool ok = WriteText(file, "REGEDIT4\r\n\r\n");
    for (int part = 1; ok && part <= kParts; ++part) {
        Sleep(1000);
        std::string lines;
        for (int i = 0; i < 200; ++i) {
            lines += "\"part" + std::to_string(part) + "_value" + std::to_string(i) +
                     "\"=\"slow export data\"\r\n";
        }
        ok = WriteText(file, lines);
    }
    ok = ok && WriteText(file, "; end of export\r\n");
    const DWORD size = GetFileSize(file, nullptr);
    CloseHandle(file);
    if (!ok) return 4;
    RecordSize(argv[2], size);
    return 0;
}
