// Stand-in for the suite's self-protection module. Each request appends a line to
// "qorselfp-calls.txt" beside the DLL; QOR_TESTBED_SELFP_REFUSE (hexadecimal) is the answer
// to a request for permission, 0 when unset.
#include <windows.h>

#include <cwchar>
#include <string>

#include "common/beside_module_win.h"

namespace {

void Record(const wchar_t* what) { qortestbed::Record(L"qorselfp-calls.txt", what); }

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) qortestbed::Self() = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) LONG WINAPI QorSelfProtectionAllow(DWORD) {
    wchar_t value[16] = L"";
    const DWORD length = GetEnvironmentVariableW(L"QOR_TESTBED_SELFP_REFUSE", value, 16);
    const LONG answer = length > 0 && length < 16
                            ? static_cast<LONG>(std::wcstoul(value, nullptr, 16))
                            : 0;
    Record(answer < 0 ? L"allow refused" : L"allow");
    return answer;
}

extern "C" __declspec(dllexport) LONG WINAPI QorSelfProtectionRestore(DWORD) {
    Record(L"restore");
    return 0;
}
