#pragma once
// The firewall state dump: seven values of the suite's live state tree as three lines.
#include <cstdint>
#include <string>

#include "common/result.h"

namespace qor {

// Answers of the communication module that are not final.
inline constexpr ResultCode kReplyPending = static_cast<ResultCode>(0x60010141);
inline constexpr ResultCode kConnectionLost = static_cast<ResultCode>(0xE0010149);
// A reply that did not come in time (the Windows timeout error).
inline constexpr ResultCode kReplyTimeout = static_cast<ResultCode>(0xC00705B4);
// How long one wait for a pending reply may take.
inline constexpr std::uint32_t kReplyWaitMilliseconds = 1000;

namespace value_type {
inline constexpr std::uint32_t Signed32 = 5;
inline constexpr std::uint32_t Unsigned32 = 6;
inline constexpr std::uint32_t WideString = 12;
}  // namespace value_type

using ValueNode = void*;

// The communication module's value tree. Any operation may answer kReplyPending, after
// which WaitReply gives its final answer (or kReplyPending again when the time is up).
class ValueTreeConnection {
public:
    virtual ~ValueTreeConnection() = default;
    [[nodiscard]] virtual ResultCode GetRoot(ValueNode& root) = 0;
    [[nodiscard]] virtual ResultCode OpenNode(ValueNode root, const std::wstring& path,
                                              ValueNode& node) = 0;
    // Fills at most `bytes` bytes of `buffer`; strings are UTF-16LE, maybe unterminated.
    [[nodiscard]] virtual ResultCode ReadValue(ValueNode node, std::uint32_t type,
                                               unsigned char* buffer, std::uint32_t bytes) = 0;
    virtual void ReleaseNode(ValueNode node) = 0;
    [[nodiscard]] virtual ResultCode WaitReply(std::uint32_t milliseconds) = 0;
    [[nodiscard]] virtual ResultCode Reconnect() = 0;
};

// Reads all seven values, then appends the three lines to `text`; nothing is appended
// unless every value was read.
[[nodiscard]] ResultCode DumpFirewallStateFrom(ValueTreeConnection& tree, std::wstring& text);

// The collector of a real run: the communication module from the program directory.
[[nodiscard]] ResultCode DumpFirewallState(const std::wstring& programDirectory,
                                           std::wstring& text);

}  // namespace qor
