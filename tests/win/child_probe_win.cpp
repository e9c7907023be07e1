// Child for the process helpers' tests. Actions in order:
//   out TEXT | err TEXT | sleep MS | touch PATH | flood BYTES
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

void Put(DWORD which, const std::string& bytes) {
    DWORD written = 0;
    WriteFile(GetStdHandle(which), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
              nullptr);
}

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) out += static_cast<char>(*text);
    return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring action = argv[i];
        const wchar_t* value = argv[i + 1];
        if (action == L"out") Put(STD_OUTPUT_HANDLE, Narrow(value));
        if (action == L"err") Put(STD_ERROR_HANDLE, Narrow(value));
        if (action == L"flood") Put(STD_OUTPUT_HANDLE, std::string(std::wcstoul(value, nullptr, 10), 'f'));
        if (action == L"sleep") Sleep(std::wcstoul(value, nullptr, 10));
        if (action == L"touch") {
            const HANDLE file = CreateFileW(value, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                            nullptr);
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        }
    }
    return 7;
}
