#pragma once
// The scanner engine's information record and its dump line.
#include <array>
#include <cstdint>
#include <string>

#include "common/result.h"

namespace qor {

// As the engine fills it: type at 0 (8 bits), load result at 4, version at 8, 4 unused
// bytes, the time (FILETIME, universal time) at 16; little-endian.
inline constexpr std::size_t kEngineInfoSize = 24;
using EngineInfoBytes = std::array<std::uint8_t, kEngineInfoSize>;

struct EngineInfo {
    std::uint8_t type = 0;
    std::uint32_t loadResultError = 0;
    std::uint32_t version = 0;
    std::uint64_t time = 0;  // 100-ns units since 1601-01-01 UTC
};

EngineInfo ReadEngineInfo(const EngineInfoBytes& bytes) noexcept;

// The local time zone's difference from universal time at a given instant.
class ZoneClock {
public:
    virtual ~ZoneClock() = default;
    // `bias` = local time - universal time, in 100-ns units, at the instant `utc`.
    [[nodiscard]] virtual ResultCode LocalBias(std::int64_t utc, std::int64_t& bias) noexcept = 0;
};

// "Z" for no difference, else the sign, hours and minutes: "+05:30", "-00:30".
std::wstring ZoneText(std::int64_t bias);

// The local time at `time` and its zone: "2024-01-15T13:00:00+01:00", or
// "2024-01-15T12:00:00Z". rc::TimeBefore1970 for a time that cannot be converted.
[[nodiscard]] ResultCode FormatEngineTime(std::uint64_t time, ZoneClock& clock,
                                          std::wstring& out);

// "AVI type:%u, loadResultErr:0x%x, version:%u, time:%ls\n"; `out` untouched on failure.
[[nodiscard]] ResultCode FormatEngineLine(const EngineInfo& info, ZoneClock& clock,
                                          std::wstring& out);

}  // namespace qor
