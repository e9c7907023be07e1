// Stand-in for the suite's engine client library. Each call it gets appends a line to
// "qorclitx-calls.txt" beside the DLL, its loading too. HKLM\Software\QorTestbed
// "EngineAnswer" chooses its answers:
//   (none)             three records: type selector+1, load result 0 or 0x8007007e,
//                      version 100 + query number, time 2024-01-15 12:00:00 UTC + number s;
//   fail-create        the instance creator fails;
//   null-instance      the creator succeeds without an instance;
//   fail-second-query  the second query fails;
//   zero-time          the third record's time is 0;
//   hang               the instance creator does not return for ten minutes;
//   hang-in-loader     the instance creator loads "qorstuck.dll" beside it, whose start
//                      does not end for ten minutes: the loader's lock stays held.
#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <string>

#include "common/beside_module_win.h"
#include "platform/win/scanner_engine_abi.h"

using qor::engineabi::EngineObject;

namespace {

constexpr std::int32_t kFailure = static_cast<std::int32_t>(0xE0010058);
constexpr std::uint64_t k2024Jan15Noon = 133'497'936'000'000'000;
constexpr std::uint64_t kSecond = 10'000'000;

int g_queries = 0;

std::wstring ReadAnswer(REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\QorTestbed", 0, KEY_QUERY_VALUE | view,
                      &key) != ERROR_SUCCESS) {
        return {};
    }
    wchar_t value[64] = L"";
    DWORD size = sizeof(value) - sizeof(wchar_t);
    DWORD type = 0;
    const LONG status = RegQueryValueExW(key, L"EngineAnswer", nullptr, &type,
                                         reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ ? std::wstring(value) : std::wstring();
}

// Written by a 32-bit or a 64-bit registry tool: either view.
bool AnswerIs(const wchar_t* answer) {
    std::wstring value = ReadAnswer(KEY_WOW64_64KEY);
    if (value.empty()) value = ReadAnswer(KEY_WOW64_32KEY);
    return value == answer;
}

void Record(const std::wstring& line) { qortestbed::Record(L"qorclitx-calls.txt", line); }

std::uint32_t __stdcall Unused(EngineObject*) {
    Record(L"unused operation");
    return static_cast<std::uint32_t>(kFailure);
}

std::uint32_t __stdcall Release(EngineObject*) {
    Record(L"release");
    return 0;
}

void Put(std::uint8_t* out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::int32_t __stdcall QueryInfo(EngineObject*, std::uint32_t selector, void* record) {
    const int number = ++g_queries;
    Record(L"query " + std::to_wstring(selector));
    if (number == 2 && AnswerIs(L"fail-second-query")) return kFailure;
    auto* out = static_cast<std::uint8_t*>(record);
    out[0] = static_cast<std::uint8_t>(selector + 1);
    Put(out + 4, selector ? 0x8007007Eu : 0u, 4);
    Put(out + 8, 100u + static_cast<unsigned>(number), 4);
    const bool zero = number == 3 && AnswerIs(L"zero-time");
    Put(out + 16, zero ? 0 : k2024Jan15Noon + (number - 1) * kSecond, 8);
    return 0;
}

struct Operations {
    void* places[qor::engineabi::kOperationCount];
    Operations() {
        for (void*& place : places) place = reinterpret_cast<void*>(&Unused);
        places[qor::engineabi::kReleasePlace] = reinterpret_cast<void*>(&Release);
        places[qor::engineabi::kQueryInfoPlace] = reinterpret_cast<void*>(&QueryInfo);
    }
};

Operations g_operations;
EngineObject g_object{g_operations.places};

std::int32_t Unexpected(const wchar_t* name) {
    Record(std::wstring(L"unexpected ") + name);
    return kFailure;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        qortestbed::Self() = instance;
        Record(L"load");
    }
    return TRUE;
}

__declspec(dllexport) std::int32_t __stdcall CoreSdkLiteGetInstanceNamespace_V2(
    EngineObject** instance, const wchar_t* name, std::uint32_t flags) {
    Record(std::wstring(L"create ") + (name ? name : L"(null)") + L" " + std::to_wstring(flags));
    if (AnswerIs(L"hang")) Sleep(10 * 60 * 1000);
    if (AnswerIs(L"hang-in-loader")) LoadLibraryW(qortestbed::BesideModule(L"qorstuck.dll").c_str());
    if (AnswerIs(L"fail-create")) return kFailure;
    *instance = AnswerIs(L"null-instance") ? nullptr : &g_object;
    return 0;
}

// Resolved by the program, never called by it.
__declspec(dllexport) std::int32_t __stdcall CoreSdkLiteGetInstance_V2(void*) {
    return Unexpected(L"GetInstance_V2");
}
__declspec(dllexport) std::int32_t __stdcall CoreSdkLiteSetLogger(void*) {
    return Unexpected(L"SetLogger");
}
__declspec(dllexport) std::int32_t __stdcall CoreSdkLiteSetBinaryPath(const wchar_t*) {
    return Unexpected(L"SetBinaryPath");
}
__declspec(dllexport) std::int32_t __stdcall CoreSdkLiteSetTempPath(const wchar_t*) {
    return Unexpected(L"SetTempPath");
}
__declspec(dllexport) std::int32_t __stdcall CoreSdkLiteCreateNamespace_V4(void*) {
    return Unexpected(L"CreateNamespace_V4");
}
__declspec(dllexport) std::int32_t __stdcall CoreSdkLiteSetRegistryPath(const wchar_t*) {
    return Unexpected(L"SetRegistryPath");
}
__declspec(dllexport) std::int32_t __stdcall CoreSdkLiteSetLogPath(const wchar_t*) {
    return Unexpected(L"SetLogPath");
}
__declspec(dllexport) std::int32_t __stdcall CoreSdkLiteSetAviLoaderName(const wchar_t*) {
    return Unexpected(L"SetAviLoaderName");
}

}  // extern "C"
