#include "archive/zip_format.h"

#include <array>

#include "common/text_encoding.h"
#include "common/time_fields.h"

namespace qor::zip {
namespace {

constexpr std::int64_t kUnixEpochAsFileTime = 116444736000000000;
constexpr std::int64_t kTicksPerSecond = 10000000;

constexpr std::array<std::wstring_view, 8> kStoredSuffixes{
    L".z", L".zip", L".zoo", L".arc", L".lzh", L".arj", L".gz", L".tgz"};

wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? c + (L'a' - L'A') : c; }

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view lower) {
    if (a.size() != lower.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != lower[i]) return false;
    }
    return true;
}

}  // namespace

bool IsStoredName(std::wstring_view name) noexcept {
    const std::size_t dot = name.rfind(L'.');
    if (dot == std::wstring_view::npos) return false;
    const std::wstring_view suffix = name.substr(dot);
    for (const std::wstring_view stored : kStoredSuffixes) {
        if (EqualsIgnoringCase(suffix, stored)) return true;
    }
    return false;
}

bool EncodeEntryName(std::wstring_view name, std::string& out) {
    std::string encoded = ToUtf8(name);
    if (encoded.size() > kMaxNameBytes) return false;
    out = std::move(encoded);
    return true;
}

DosDateTime ToDosDateTime(std::int64_t fileTime) noexcept {
    constexpr DosDateTime kEarliest{0, 1 << 5 | 1};  // 1980-01-01 00:00:00
    constexpr DosDateTime kLatest{23 << 11 | 59 << 5 | 29, 127 << 9 | 12 << 5 | 31};
    TimeFields t;
    if (TimeFieldsFromSystemTime(fileTime, t) != 0 || t.year < 1980) return kEarliest;
    if (t.year > 2107) return kLatest;
    return {static_cast<std::uint16_t>(t.hour << 11 | t.minute << 5 | t.second / 2),
            static_cast<std::uint16_t>((t.year - 1980) << 9 | t.month << 5 | t.day)};
}

std::uint32_t ToUnixSeconds(std::int64_t fileTime) noexcept {
    const std::int64_t seconds = (fileTime - kUnixEpochAsFileTime) / kTicksPerSecond;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(seconds));
}

std::uint32_t FileExternalAttributes(std::uint32_t fileAttributes) noexcept {
    constexpr std::uint32_t kReadOnly = 0x01, kKept = 0x01 | 0x02 | 0x04 | 0x20;
    const std::uint32_t mode = 0x8100 | ((fileAttributes & kReadOnly) != 0 ? 0 : 0x0080);
    return mode << 16 | (fileAttributes & kKept);
}

std::int64_t SecondsFromCivil(int year, unsigned month, unsigned day, unsigned hour,
                              unsigned minute, unsigned second) noexcept {
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(y - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const std::int64_t days = era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

}  // namespace qor::zip
