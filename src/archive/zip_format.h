#pragma once
// Field rules of the ZIP entries this program writes.
#include <cstdint>
#include <string>
#include <string_view>

namespace qor::zip {

inline constexpr std::size_t kMaxNameBytes = 259;

// Stored rather than deflated: the text from the last "." of the name is a known packed suffix.
bool IsStoredName(std::wstring_view name) noexcept;

// UTF-8 of `name`; an unpaired surrogate becomes U+FFFD. False when over kMaxNameBytes.
[[nodiscard]] bool EncodeEntryName(std::wstring_view name, std::string& out);

// Times are in 100-ns units since 1601-01-01.
struct DosDateTime {
    std::uint16_t time = 0;
    std::uint16_t date = 0;
};
// Calendar fields of `fileTime` as they stand; outside 1980..2107 clamped to the nearest end.
DosDateTime ToDosDateTime(std::int64_t fileTime) noexcept;
// Low 32 bits of the seconds since 1970-01-01.
std::uint32_t ToUnixSeconds(std::int64_t fileTime) noexcept;

// Unix mode in the upper half, the archive-relevant attribute bits in the low byte.
std::uint32_t FileExternalAttributes(std::uint32_t fileAttributes) noexcept;
inline constexpr std::uint32_t kFolderExternalAttributes = 0x41C00010;

// Seconds since 1970 of a civil date and time in the proleptic Gregorian calendar.
std::int64_t SecondsFromCivil(int year, unsigned month, unsigned day, unsigned hour,
                              unsigned minute, unsigned second) noexcept;

}  // namespace qor::zip
