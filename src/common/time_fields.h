#pragma once
// A 64-bit system time (100-ns units since 1601-01-01 UTC) broken into calendar fields.
#include <cstdint>

#include "common/result.h"

namespace qor {

struct TimeFields {
    std::uint16_t year = 0;
    std::uint32_t month = 0;
    std::uint32_t weekday = 0;  // 0 = Sunday
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t millisecond = 0;
    std::uint16_t microsecond = 0;
    std::uint16_t nanosecond = 0;  // a multiple of 100
};

namespace rc {
inline constexpr ResultCode TimeBefore1970 = SuiteError(0x64);
inline constexpr ResultCode NoTime = static_cast<ResultCode>(0x60010064);
}  // namespace rc

inline constexpr std::int64_t kNoSystemTime = -1;  // all 64 bits set

// rc::TimeBefore1970 for earlier times (out untouched); the all-ones value gives
// 1600-12-31 00:00:00.000 and rc::NoTime.
[[nodiscard]] ResultCode TimeFieldsFromSystemTime(std::int64_t systemTime, TimeFields& out) noexcept;

}  // namespace qor
