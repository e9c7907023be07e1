// Stand-in for the suite's logging module. Each operation it is asked appends a line to
// "qorlogx-calls.txt" beside the DLL. QOR_TESTBED_LOG_ANSWER chooses its answers:
// "configured" (already configured), "fail-get", "fail-configure", "fail-start".
#include <windows.h>

#include <cwchar>
#include <string>

#include "common/beside_module_win.h"
#include "platform/win/log_object_abi.h"

using qor::logabi::LogObject;

namespace {

constexpr std::int32_t kFailure = static_cast<std::int32_t>(0xE0010058);


bool AnswerIs(const wchar_t* answer) {
    wchar_t value[64] = L"";
    GetEnvironmentVariableW(L"QOR_TESTBED_LOG_ANSWER", value, 64);
    return std::wcscmp(value, answer) == 0;
}

void Record(const std::wstring& line) { qortestbed::Record(L"qorlogx-calls.txt", line); }

std::int32_t __stdcall Unused(LogObject*) {
    Record(L"unused operation");
    return kFailure;
}

std::int32_t __stdcall IsConfigured(LogObject*) {
    Record(L"is-configured");
    return AnswerIs(L"configured") ? 1 : 0;
}

std::int32_t __stdcall Configure(LogObject*, const wchar_t* folder) {
    Record(std::wstring(L"configure ") + (folder ? folder : L"(null)"));
    return AnswerIs(L"fail-configure") ? kFailure : 0;
}

std::int32_t __stdcall Start(LogObject*, std::uint32_t argument) {
    Record(L"start " + std::to_wstring(argument));
    return AnswerIs(L"fail-start") ? kFailure : 0;
}

std::int32_t __stdcall Write(LogObject*, std::uint32_t severity, const wchar_t* logger,
                             const wchar_t* source, const wchar_t* message) {
    Record(L"write " + std::to_wstring(severity) + L" " + (logger ? logger : L"(null)") + L" " +
           (source ? source : L"(null)") + L" " + (message ? message : L"(null)"));
    return 0;
}

struct Operations {
    void* places[qor::logabi::kOperationCount];
    Operations() {
        for (void*& place : places) place = reinterpret_cast<void*>(&Unused);
        places[qor::logabi::kIsConfiguredPlace] = reinterpret_cast<void*>(&IsConfigured);
        places[qor::logabi::kConfigurePlace] = reinterpret_cast<void*>(&Configure);
        places[qor::logabi::kStartPlace] = reinterpret_cast<void*>(&Start);
        places[qor::logabi::kWritePlace] = reinterpret_cast<void*>(&Write);
    }
};

Operations g_operations;
LogObject g_object{g_operations.places};

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) qortestbed::Self() = instance;
    return TRUE;
}

__declspec(dllexport) std::int32_t __stdcall QorGetLogObject(LogObject** object) {
    Record(L"get-log-object");
    if (AnswerIs(L"fail-get")) return kFailure;
    *object = &g_object;
    return 0;
}

#ifndef QOR_TESTBED_WITHOUT_RELEASE
__declspec(dllexport) void __stdcall QorReleaseLogObject(LogObject*) { Record(L"release"); }
#endif

}  // extern "C"
