#include "diag/suite/firewall_state.h"

#include <array>
#include <cstring>

#include "common/text_encoding.h"
#include "common/text_format.h"

namespace qor {
namespace {

// The module's string answers are read into this many UTF-16 units, no more.
constexpr std::size_t kStringUnits = 260;

struct StateValues {
    std::int32_t fwState = 0, rsState = 0, idpState = 0;
    std::uint32_t fwFlags = 0, fps = 0;
    std::wstring area, areaGuid;
};

// Waits, within the limit, for the final answer of an operation answered "pending".
ResultCode Settle(ValueTreeConnection& tree, ResultCode code) {
    if (code != kReplyPending) return code;
    code = tree.WaitReply(kReplyWaitMilliseconds);
    return code == kReplyPending ? kReplyTimeout : code;
}

// Reads once, reconnecting once when the connection was lost.
ResultCode Read(ValueTreeConnection& tree, ValueNode node, std::uint32_t type,
                unsigned char* buffer, std::uint32_t bytes) {
    ResultCode code = Settle(tree, tree.ReadValue(node, type, buffer, bytes));
    if (code != kConnectionLost) return code;
    if (const ResultCode reconnect = Settle(tree, tree.Reconnect()); Failed(reconnect))
        return reconnect;
    return Settle(tree, tree.ReadValue(node, type, buffer, bytes));
}

// Opens "/Components/<component>/<name>", reads it into `buffer`, releases the node.
ResultCode ReadAt(ValueTreeConnection& tree, ValueNode root, const wchar_t* component,
                  const wchar_t* name, std::uint32_t type, unsigned char* buffer,
                  std::uint32_t bytes) {
    const std::wstring path = FormatText(L"/%ls/%ls/%ls", L"Components", component, name);
    if (path.empty()) return rc::OutOfMemory;
    ValueNode node = nullptr;
    if (const ResultCode code = Settle(tree, tree.OpenNode(root, path, node)); Failed(code))
        return code;
    const ResultCode code = Read(tree, node, type, buffer, bytes);
    tree.ReleaseNode(node);
    return code;
}

template <typename Number>
ResultCode ReadNumber(ValueTreeConnection& tree, ValueNode root, const wchar_t* component,
                      const wchar_t* name, std::uint32_t type, Number& out) {
    std::array<unsigned char, sizeof(Number)> bytes{};
    const ResultCode code = ReadAt(tree, root, component, name, type, bytes.data(), bytes.size());
    if (Succeeded(code)) std::memcpy(&out, bytes.data(), sizeof out);
    return code;
}

// The text up to the first terminator or the end of the caller's buffer.
ResultCode ReadString(ValueTreeConnection& tree, ValueNode root, const wchar_t* component,
                      const wchar_t* name, std::wstring& out) {
    std::array<unsigned char, kStringUnits * 2> bytes{};
    const ResultCode code = ReadAt(tree, root, component, name, value_type::WideString,
                                   bytes.data(), bytes.size());
    if (Failed(code)) return code;
    std::size_t units = 0;
    while (units < kStringUnits && (bytes[2 * units] | bytes[2 * units + 1]) != 0) ++units;
    out = FromUtf16Le(bytes.data(), units);
    return code;
}

// The seven values in their fixed order; the first failure ends it.
ResultCode ReadValues(ValueTreeConnection& tree, ValueNode root, StateValues& v) {
    using namespace value_type;
    ResultCode code = ReadNumber(tree, root, L"FW", L"State", Signed32, v.fwState);
    if (Succeeded(code)) code = ReadNumber(tree, root, L"FW", L"Flags", Unsigned32, v.fwFlags);
    if (Succeeded(code)) code = ReadString(tree, root, L"FW", L"ActiveArea", v.area);
    if (Succeeded(code)) code = ReadString(tree, root, L"FW", L"ActiveAreaGuid", v.areaGuid);
    if (Succeeded(code)) code = ReadNumber(tree, root, L"FW", L"ActiveAreaFPS", Unsigned32, v.fps);
    if (Succeeded(code)) code = ReadNumber(tree, root, L"RS", L"State", Signed32, v.rsState);
    if (Succeeded(code)) code = ReadNumber(tree, root, L"IDP", L"State", Signed32, v.idpState);
    return code;
}

ResultCode AppendLine(std::wstring& text, const std::wstring& line) {
    if (line.empty()) return rc::OutOfMemory;
    text += line;
    return rc::Ok;
}

ResultCode AppendLines(const StateValues& v, std::wstring& text) {
    ResultCode code = AppendLine(text, FormatText(L"FW state %d, RS state %d, IDP state %d\n",
                                                  v.fwState, v.rsState, v.idpState));
    if (Succeeded(code)) code = AppendLine(text, FormatText(L"FW flags %u\n", v.fwFlags));
    if (Succeeded(code)) {
        code = AppendLine(text, FormatText(L"Active area %ls, GUID %ls, FPS %u\n",
                                           v.area.c_str(), v.areaGuid.c_str(), v.fps));
    }
    return code;
}

}  // namespace

ResultCode DumpFirewallStateFrom(ValueTreeConnection& tree, std::wstring& text) {
    ValueNode root = nullptr;
    if (const ResultCode code = Settle(tree, tree.GetRoot(root)); Failed(code)) return code;
    StateValues values;
    ResultCode code = ReadValues(tree, root, values);
    tree.ReleaseNode(root);
    if (Succeeded(code)) code = AppendLines(values, text);
    return code;
}

}  // namespace qor
