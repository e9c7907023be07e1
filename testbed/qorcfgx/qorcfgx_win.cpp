// Stand-in for the suite's configuration module. Each call it is asked appends a line to
// "qorcfgx-calls.txt" beside the DLL. QOR_TESTBED_CFG_ANSWER chooses a failure:
// "fail-get", "fail-open", "fail-set", "fail-commit". Built in variants: the default
// exports "GetQorObject2", init and finish; QOR_TESTBED_LEGACY_FACTORY exports only
// "GetQorObject"; QOR_TESTBED_INIT_ONLY exports init without finish.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <cwchar>

#include "common/beside_module_win.h"
#include "product/suite_module_abi_win.h"

using qor::moduleabi::Object;
using qortestbed::Hex;

namespace {

constexpr std::int32_t kFailure = static_cast<std::int32_t>(0xE0010058);
constexpr std::int32_t kNoInterface = static_cast<std::int32_t>(0x80004002);
constexpr std::uint8_t kConfigurationId[16] = {0x42, 0xC6, 0xA9, 0xBD, 0x6A, 0x85, 0x49, 0xF0,
                                               0x91, 0x40, 0x65, 0x67, 0x4E, 0x8F, 0x98, 0xA8};

void Record(const std::wstring& line) { qortestbed::Record(L"qorcfgx-calls.txt", line); }

bool AnswerIs(const wchar_t* answer) {
    wchar_t value[64] = L"";
    GetEnvironmentVariableW(L"QOR_TESTBED_CFG_ANSWER", value, 64);
    return std::wcscmp(value, answer) == 0;
}

std::int32_t __stdcall Unused(Object*) {
    Record(L"unused operation");
    return kFailure;
}

std::uint32_t __stdcall ReleaseConfiguration(Object*) {
    Record(L"release configuration");
    return 0;
}

std::uint32_t __stdcall ReleaseNode(Object*) {
    Record(L"release node");
    return 0;
}

std::int32_t __stdcall SetBool(Object*, std::uint32_t valueId, std::uint32_t value) {
    Record(L"set-bool " + Hex(valueId) + L" " + std::to_wstring(value));
    return AnswerIs(L"fail-set") ? kFailure : 0;
}

std::int32_t __stdcall Commit(Object*, std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    Record(L"commit " + std::to_wstring(a) + L" " + std::to_wstring(b) + L" " + std::to_wstring(c));
    return AnswerIs(L"fail-commit") ? kFailure : 0;
}

struct Table {
    void* places[qor::moduleabi::kConfigOperationCount];
    explicit Table(void* release) {
        for (void*& place : places) place = reinterpret_cast<void*>(&Unused);
        places[qor::moduleabi::kReleasePlace] = release;
    }
};

Table g_nodeTable = [] {
    Table table(reinterpret_cast<void*>(&ReleaseNode));
    table.places[qor::moduleabi::kSetBoolPlace] = reinterpret_cast<void*>(&SetBool);
    table.places[qor::moduleabi::kCommitPlace] = reinterpret_cast<void*>(&Commit);
    return table;
}();
Object g_node{g_nodeTable.places};

std::int32_t __stdcall OpenNode(Object*, std::uint32_t nodeId, std::uint32_t flags, Object** node) {
    Record(L"open-node " + Hex(nodeId) + L" " + std::to_wstring(flags));
    if (AnswerIs(L"fail-open")) return kFailure;
    *node = &g_node;
    return 0;
}

Table g_configTable = [] {
    Table table(reinterpret_cast<void*>(&ReleaseConfiguration));
    table.places[qor::moduleabi::kOpenConfigNodePlace] = reinterpret_cast<void*>(&OpenNode);
    return table;
}();
Object g_configuration{g_configTable.places};

std::int32_t Create(const std::uint8_t* id, Object** out) {
    if (AnswerIs(L"fail-get")) return kFailure;
    if (std::memcmp(id, kConfigurationId, sizeof kConfigurationId) != 0) return kNoInterface;
    *out = &g_configuration;
    return 0;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) qortestbed::Self() = instance;
    return TRUE;
}

#ifdef QOR_TESTBED_LEGACY_FACTORY
__declspec(dllexport) std::int32_t __stdcall GetQorObject(std::uint32_t w0, std::uint32_t w1,
                                                          std::uint32_t w2, std::uint32_t w3,
                                                          Object** out) {
    Record(L"get-object " + Hex(w0) + L" " + Hex(w1) + L" " + Hex(w2) + L" " + Hex(w3));
    const std::uint32_t words[4] = {w0, w1, w2, w3};
    std::uint8_t id[16];
    std::memcpy(id, words, sizeof id);
    return Create(id, out);
}
#else
__declspec(dllexport) std::int32_t __stdcall GetQorObject2(const void* id, std::uint32_t length,
                                                           Object** out) {
    Record(L"get-object2 " + std::to_wstring(length));
    if (length != 16) return kNoInterface;
    return Create(static_cast<const std::uint8_t*>(id), out);
}
#endif

__declspec(dllexport) std::int32_t __stdcall QorModuleInit() {
    Record(L"init");
    return 0;
}

#ifndef QOR_TESTBED_INIT_ONLY
__declspec(dllexport) std::int32_t __stdcall QorModuleFinish() {
    Record(L"finish");
    return 0;
}
#endif

}  // extern "C"
