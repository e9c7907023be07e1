// Stand-in for the suite's self-protection module. Each request appends a line to
// "qorselfp-calls.txt" beside the DLL; QOR_TESTBED_SELFP_REFUSE (hexadecimal) is the answer
// to a request for permission, 0 when unset.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

HMODULE g_self = nullptr;

void Record(const char* what) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(g_self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    std::wstring file(path, length);
    file = file.substr(0, file.find_last_of(L'\\') + 1) + L"qorselfp-calls.txt";
    if (FILE* out = _wfopen(file.c_str(), L"ab")) {
        std::fprintf(out, "%s\n", what);
        std::fclose(out);
    }
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_self = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) LONG WINAPI QorSelfProtectionAllow(DWORD) {
    wchar_t value[16] = L"";
    const DWORD length = GetEnvironmentVariableW(L"QOR_TESTBED_SELFP_REFUSE", value, 16);
    const LONG answer = length > 0 && length < 16
                            ? static_cast<LONG>(std::wcstoul(value, nullptr, 16))
                            : 0;
    Record(answer < 0 ? "allow refused" : "allow");
    return answer;
}

extern "C" __declspec(dllexport) LONG WINAPI QorSelfProtectionRestore(DWORD) {
    Record("restore");
    return 0;
}
