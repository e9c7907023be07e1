#pragma once
// Version information of a program, library or driver read from the file itself: the image
// is neither loaded nor handed to the system's version functions, so any bitness will do.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/result.h"
#include "platform/byte_source.h"

namespace qor {

inline constexpr std::size_t kVersionTextCount = 12;

// The string table keys, in the order of FileVersionInfo::texts.
inline constexpr std::array<const wchar_t*, kVersionTextCount> kVersionTextKeys = {
    L"CompanyName",      L"FileDescription", L"FileVersion",      L"InternalName",
    L"LegalCopyright",   L"LegalTrademark",  L"OriginalFilename", L"ProductName",
    L"ProductVersion",   L"Comments",        L"SpecialBuild",     L"PrivateBuild"};

namespace version_text {
inline constexpr std::size_t CompanyName = 0;
inline constexpr std::size_t FileVersion = 2;
inline constexpr std::size_t ProductName = 7;
}  // namespace version_text

struct FileVersionInfo {
    std::uint16_t language = 0;
    std::uint16_t codePage = 0;
    std::array<std::wstring, kVersionTextCount> texts;  // empty for a missing key
};

// OpenForVersion (or Load) first; the other two need it to have succeeded.
class VersionResourceReader {
public:
    // Opens the file, letting others only read it, and reads its version resource.
    [[nodiscard]] ResultCode OpenForVersion(const std::wstring& path) noexcept;
    // The version resource of the image in `image`.
    [[nodiscard]] ResultCode Load(ByteSource& image) noexcept;
    // The first string table, whatever its language; rc::InvalidData when its key is not
    // eight hexadecimal digits. `out` is left alone on failure.
    [[nodiscard]] ResultCode ReadStrings(FileVersionInfo& out) const noexcept;
    // "major.minor.build.revision" of the fixed file version.
    [[nodiscard]] ResultCode GetFileVersionText(std::wstring& out) const noexcept;

private:
    std::vector<std::uint8_t> resource_;
};

}  // namespace qor
