#include "diag/suite/scanner_engine_record.h"

#include <limits>

#include "common/text_format.h"
#include "common/time_fields.h"

namespace qor {
namespace {

constexpr std::int64_t kTicksPerHour = 36'000'000'000;
constexpr std::int64_t kTicksPerMinute = 600'000'000;

template <typename Value>
Value ReadLittleEndian(const EngineInfoBytes& bytes, std::size_t offset) noexcept {
    Value value = 0;
    for (std::size_t i = sizeof(Value); i-- > 0;) {
        value = static_cast<Value>(value << 8 | bytes[offset + i]);
    }
    return value;
}

}  // namespace

EngineInfo ReadEngineInfo(const EngineInfoBytes& bytes) noexcept {
    EngineInfo info;
    info.type = bytes[0];
    info.loadResultError = ReadLittleEndian<std::uint32_t>(bytes, 4);
    info.version = ReadLittleEndian<std::uint32_t>(bytes, 8);
    info.time = ReadLittleEndian<std::uint64_t>(bytes, 16);
    return info;
}

// The sign belongs to the whole difference, so half an hour west is "-00:30".
std::wstring ZoneText(std::int64_t bias) {
    if (bias == 0) return L"Z";
    const std::uint64_t magnitude =
        bias < 0 ? 0 - static_cast<std::uint64_t>(bias) : static_cast<std::uint64_t>(bias);
    const auto hours = static_cast<unsigned>(magnitude / kTicksPerHour);
    const auto minutes = static_cast<unsigned>(magnitude % kTicksPerHour / kTicksPerMinute);
    return FormatText(L"%ls%.2u:%.2u", bias < 0 ? L"-" : L"+", hours, minutes);
}

// The fields are those of the local time, so that with its zone they name the stored instant.
ResultCode FormatEngineTime(std::uint64_t time, ZoneClock& clock, std::wstring& out) {
    if (time > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return rc::TimeBefore1970;
    }
    const auto utc = static_cast<std::int64_t>(time);
    TimeFields fields;
    if (const ResultCode code = TimeFieldsFromSystemTime(utc, fields); code != rc::Ok) {
        return Failed(code) ? code : rc::TimeBefore1970;
    }
    std::int64_t bias = 0;
    if (const ResultCode code = clock.LocalBias(utc, bias); Failed(code)) return code;
    std::int64_t local = 0;
    if (__builtin_add_overflow(utc, bias, &local)) return rc::TimeBefore1970;
    if (const ResultCode code = TimeFieldsFromSystemTime(local, fields); code != rc::Ok) {
        return Failed(code) ? code : rc::TimeBefore1970;
    }
    out = FormatText(L"%.4d-%.2d-%.2dT%.2d:%.2d:%.2d%ls", int{fields.year},
                     static_cast<int>(fields.month), int{fields.day}, int{fields.hour},
                     int{fields.minute}, int{fields.second}, ZoneText(bias).c_str());
    return rc::Ok;
}

ResultCode FormatEngineLine(const EngineInfo& info, ZoneClock& clock, std::wstring& out) {
    std::wstring time;
    if (const ResultCode code = FormatEngineTime(info.time, clock, time); Failed(code)) return code;
    out = FormatText(L"AVI type:%u, loadResultErr:0x%x, version:%u, time:%ls\n",
                     static_cast<unsigned>(info.type), info.loadResultError, info.version,
                     time.c_str());
    return rc::Ok;
}

}  // namespace qor
