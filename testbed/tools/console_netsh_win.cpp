// console_netsh ARGS...
// The network shell of the testbed. With a "file=PATH" argument (the filtering-platform
// exports) it writes a small XML document naming its other arguments to PATH and then prints
// a line naming the file on its console; otherwise it prints its arguments as one line.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
    std::wstring args;
    const wchar_t* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::wcsncmp(argv[i], L"file=", 5) == 0) {
            file = argv[i] + 5;
        } else {
            args += std::wstring(L" ") + argv[i];
        }
    }
    if (!file) {
        std::printf("netsh%ls\n", args.c_str());
        return 0;
    }
    const wchar_t* slash = std::wcsrchr(file, L'\\');
    const wchar_t* name = slash ? slash + 1 : file;
    HANDLE out = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        std::printf("Cannot write %ls\n", name);
        return 1;
    }
    char xml[600];
    const int length = std::snprintf(xml, sizeof xml, "<?xml version=\"1.0\"?>\r\n<netsh%ls/>\r\n",
                                     args.c_str());
    DWORD written = 0;
    const bool ok = length > 0 && WriteFile(out, xml, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(out);
    if (!ok) return 1;
    std::printf("Data collection successful; output = %ls\n", name);
    return 0;
}
