#include "common/time_fields.h"

namespace qor {
namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kSecondsPerDay = 86'400;
constexpr std::int64_t kUnixEpoch = 116'444'736'000'000'000;  // 1970-01-01 in system time
constexpr std::int64_t kUnixEpochWeekday = 4;                 // a Thursday

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(std::int64_t days, TimeFields& out) {
    days += 719468;
    const std::int64_t era = days / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    out.year = static_cast<std::uint16_t>(yearOfEra + era * 400 + (month <= 2));
    out.month = static_cast<std::uint32_t>(month);
    out.day = static_cast<std::uint16_t>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
}

}  // namespace

ResultCode TimeFieldsFromSystemTime(std::int64_t systemTime, TimeFields& out) noexcept {
    if (systemTime == kNoSystemTime) {
        out = TimeFields{1600, 12, 0, 31};
        return rc::NoTime;
    }
    if (systemTime < kUnixEpoch) return rc::TimeBefore1970;
    const std::int64_t sinceEpoch = systemTime - kUnixEpoch;
    const std::int64_t seconds = sinceEpoch / kTicksPerSecond;
    const std::int64_t ticks = sinceEpoch % kTicksPerSecond;
    const std::int64_t days = seconds / kSecondsPerDay;
    const std::int64_t secondOfDay = seconds % kSecondsPerDay;

    TimeFields fields;
    CivilFromDays(days, fields);
    fields.weekday = static_cast<std::uint32_t>((days + kUnixEpochWeekday) % 7);
    fields.hour = static_cast<std::uint16_t>(secondOfDay / 3600);
    fields.minute = static_cast<std::uint16_t>(secondOfDay / 60 % 60);
    fields.second = static_cast<std::uint16_t>(secondOfDay % 60);
    fields.millisecond = static_cast<std::uint16_t>(ticks / 10'000);
    fields.microsecond = static_cast<std::uint16_t>(ticks / 10 % 1000);
    fields.nanosecond = static_cast<std::uint16_t>(ticks % 10 * 100);
    out = fields;
    return rc::Ok;
}

}  // namespace qor
