#pragma once
// The suite's logging levels: a smaller number logs more.
#include <cstdint>
#include <limits>
#include <string_view>

namespace qor {

using LogSeverity = std::int32_t;

namespace severity {
inline constexpr LogSeverity All = std::numeric_limits<std::int32_t>::min();
inline constexpr LogSeverity Debug = 100000;
inline constexpr LogSeverity Detail = 150000;
inline constexpr LogSeverity Info = 200000;
inline constexpr LogSeverity Warn = 300000;
inline constexpr LogSeverity Error = 400000;
inline constexpr LogSeverity Fatal = 500000;
inline constexpr LogSeverity Off = std::numeric_limits<std::int32_t>::max();
}  // namespace severity

// The name written into the configuration files; a level not in the table reads "INFO".
std::wstring_view SeverityName(LogSeverity level) noexcept;

}  // namespace qor
