// Stand-in for the suite's communication module: a value tree of the firewall's state.
// Each call appends a line to "qorcommx-calls.txt" beside the DLL. Lines of
// "qorcommx-tree.txt" beside it replace the built-in values: "PATH|TYPE|VALUE|ANSWER",
// TYPE 5 (signed), 6 (unsigned), 12 (string) or "missing"; ANSWER, optional, one of
// "open-pending" / "read-pending" (the reply comes on the first wait), "open-stuck" /
// "read-stuck" (it never comes), "read-lost" (the first read loses the connection) and
// "unterminated" (a string fills the whole buffer without a terminator).
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <map>
#include <string>

#include "common/beside_module_win.h"
#include "product/suite_module_abi_win.h"

using qor::moduleabi::Object;

namespace {

constexpr std::int32_t kFailure = static_cast<std::int32_t>(0xE0010058);
constexpr std::int32_t kNotFound = static_cast<std::int32_t>(0xE001004C);
constexpr std::int32_t kNoInterface = static_cast<std::int32_t>(0x80004002);
constexpr std::int32_t kPending = static_cast<std::int32_t>(0x60010141);
constexpr std::int32_t kLost = static_cast<std::int32_t>(0xE0010149);
constexpr std::uint8_t kCommunicationId[16] = {0x9F, 0x30, 0xAF, 0x46, 0xBF, 0x45, 0x8A, 0x46,
                                               0x86, 0x17, 0x26, 0xBE, 0x13, 0xB6, 0x6B, 0x0A};

struct Value {
    std::wstring type;  // "5", "6", "12" or "missing"
    std::wstring text;
    std::wstring answer;
};

void Record(const std::wstring& line) { qortestbed::Record(L"qorcommx-calls.txt", line); }

std::map<std::wstring, Value> LoadTree() {
    std::map<std::wstring, Value> tree{
        {L"/Components/FW/State", {L"5", L"1", L""}},
        {L"/Components/FW/Flags", {L"6", L"3", L""}},
        {L"/Components/FW/ActiveArea", {L"12", L"Home", L""}},
        {L"/Components/FW/ActiveAreaGuid", {L"12", L"{6A3F2C10-0B7E-4C1D-9E55-0D2B8F1A7C42}", L""}},
        {L"/Components/FW/ActiveAreaFPS", {L"6", L"2", L""}},
        {L"/Components/RS/State", {L"5", L"4", L""}},
        {L"/Components/IDP/State", {L"5", L"2", L""}},
    };
    for (const std::wstring& line : qortestbed::ReadLines(L"qorcommx-tree.txt")) {
        std::wstring fields[4];
        std::size_t start = 0;
        for (int i = 0; i < 4 && start <= line.size(); ++i) {
            const std::size_t bar = i < 3 ? line.find(L'|', start) : std::wstring::npos;
            fields[i] = line.substr(start, bar == std::wstring::npos ? bar : bar - start);
            start = bar == std::wstring::npos ? line.size() + 1 : bar + 1;
        }
        if (!fields[0].empty()) tree[fields[0]] = Value{fields[1], fields[2], fields[3]};
    }
    return tree;
}

std::map<std::wstring, Value>& Tree() {
    static std::map<std::wstring, Value> tree = LoadTree();
    return tree;
}

struct Node {
    std::wstring path;
};
Node g_root{L"(root)"};

// The operation waiting for WaitReply, if any.
struct Pending {
    enum { None, Open, Read } kind = None;
    bool stuck = false;
    const wchar_t* path = nullptr;
    void** node = nullptr;
    Node* readNode = nullptr;
    std::uint32_t type = 0;
    void* buffer = nullptr;
    std::uint32_t bytes = 0;
} g_pending;
bool g_lostOnce = false;

std::wstring AnswerOf(const std::wstring& path) {
    const auto it = Tree().find(path);
    return it == Tree().end() ? L"" : it->second.answer;
}

std::int32_t DoOpen(const wchar_t* path, void** node) {
    *node = new Node{path};
    return 0;
}

std::int32_t DoRead(Node* node, std::uint32_t type, void* buffer, std::uint32_t bytes) {
    const auto it = Tree().find(node->path);
    if (it == Tree().end() || it->second.type == L"missing") return kNotFound;
    const Value& value = it->second;
    if (std::to_wstring(type) != value.type) return kFailure;
    if (type == 12) {
        const std::size_t units = bytes / 2;
        std::wstring text = value.text;
        if (value.answer == L"unterminated") {
            while (!text.empty() && text.size() < units) text += value.text;
            text.resize(units);
        } else if (text.size() >= units) {
            return static_cast<std::int32_t>(0xE0010044);
        } else {
            text.push_back(L'\0');
        }
        std::memcpy(buffer, text.data(), text.size() * 2);
        return 0;
    }
    if (bytes < 4) return static_cast<std::int32_t>(0xE0010044);
    const std::uint32_t number = type == 5 ? static_cast<std::uint32_t>(std::wcstol(value.text.c_str(), nullptr, 10))
                                           : std::wcstoul(value.text.c_str(), nullptr, 10);
    std::memcpy(buffer, &number, 4);
    return 0;
}

std::int32_t __stdcall Unused(Object*) {
    Record(L"unused operation");
    return kFailure;
}

std::uint32_t __stdcall Release(Object*) {
    Record(L"release object");
    return 0;
}

std::int32_t __stdcall GetRoot(Object*, void** root) {
    Record(L"get-root");
    *root = &g_root;
    return 0;
}

std::int32_t __stdcall OpenNode(Object*, void* root, const wchar_t* path, void** node) {
    Record(std::wstring(L"open ") + path);
    if (root != &g_root) return kFailure;
    const std::wstring answer = AnswerOf(path);
    if (answer == L"open-pending" || answer == L"open-stuck") {
        g_pending = Pending{Pending::Open, answer == L"open-stuck", path, node};
        return kPending;
    }
    return DoOpen(path, node);
}

std::int32_t __stdcall ReadValue(Object*, void* raw, std::uint32_t type, void* buffer,
                                 std::uint32_t bytes) {
    Node* node = static_cast<Node*>(raw);
    Record(L"read " + node->path + L" " + std::to_wstring(type) + L" " + std::to_wstring(bytes));
    const std::wstring answer = AnswerOf(node->path);
    if (answer == L"read-lost" && !g_lostOnce) {
        g_lostOnce = true;
        return kLost;
    }
    if (answer == L"read-pending" || answer == L"read-stuck") {
        g_pending = Pending{Pending::Read, answer == L"read-stuck", nullptr, nullptr, node, type,
                            buffer, bytes};
        return kPending;
    }
    return DoRead(node, type, buffer, bytes);
}

std::int32_t __stdcall ReleaseNode(Object*, void* raw) {
    if (raw == &g_root) {
        Record(L"release root");
        return 0;
    }
    Node* node = static_cast<Node*>(raw);
    Record(L"release " + node->path);
    delete node;
    return 0;
}

std::int32_t __stdcall WaitReply(Object*, std::uint32_t milliseconds) {
    Record(L"wait " + std::to_wstring(milliseconds));
    if (g_pending.kind == Pending::None) return kFailure;
    if (g_pending.stuck) {
        Sleep(milliseconds);
        return kPending;
    }
    const Pending pending = g_pending;
    g_pending = Pending{};
    return pending.kind == Pending::Open
               ? DoOpen(pending.path, pending.node)
               : DoRead(pending.readNode, pending.type, pending.buffer, pending.bytes);
}

std::int32_t __stdcall Reconnect(Object*) {
    Record(L"reconnect");
    return 0;
}

struct Table {
    void* places[qor::moduleabi::kCommOperationCount];
    Table() {
        using namespace qor::moduleabi;
        for (void*& place : places) place = reinterpret_cast<void*>(&Unused);
        places[kReleasePlace] = reinterpret_cast<void*>(&Release);
        places[kGetRootPlace] = reinterpret_cast<void*>(&GetRoot);
        places[kOpenValueNodePlace] = reinterpret_cast<void*>(&OpenNode);
        places[kReadValuePlace] = reinterpret_cast<void*>(&ReadValue);
        places[kReleaseNodePlace] = reinterpret_cast<void*>(&ReleaseNode);
        places[kWaitReplyPlace] = reinterpret_cast<void*>(&WaitReply);
        places[kReconnectPlace] = reinterpret_cast<void*>(&Reconnect);
    }
};

Table g_table;
Object g_object{g_table.places};

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) qortestbed::Self() = instance;
    return TRUE;
}

__declspec(dllexport) std::int32_t __stdcall GetQorObject2(const void* id, std::uint32_t length,
                                                           Object** out) {
    Record(L"get-object2");
    if (length != 16 || std::memcmp(id, kCommunicationId, 16) != 0) return kNoInterface;
    *out = &g_object;
    return 0;
}

__declspec(dllexport) std::int32_t __stdcall QorModuleInit() {
    Record(L"init");
    return 0;
}

__declspec(dllexport) std::int32_t __stdcall QorModuleFinish() {
    Record(L"finish");
    return 0;
}

}  // extern "C"
