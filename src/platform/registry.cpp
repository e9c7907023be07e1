#include "platform/registry.h"

#include <algorithm>
#include <new>
#include <string_view>

namespace qor {
namespace {

constexpr std::uint32_t kErrorInvalidParameter = 87;
// What ResultFromNtStatus gives for a bad object path (ERROR_BAD_PATHNAME, 161).
constexpr ResultCode kBadPathName = static_cast<ResultCode>(0xC00700A1u);

char16_t UnitAt(std::span<const std::uint8_t> data, std::size_t index) noexcept {
    return static_cast<char16_t>(data[2 * index] | (data[2 * index + 1] << 8));
}

bool IsHighSurrogate(char16_t unit) noexcept { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) noexcept { return unit >= 0xDC00 && unit <= 0xDFFF; }

// UTF-16 units to wchar_t text; with a 32-bit wchar_t, pairs become one code point and
// lone surrogates are kept as they are.
std::wstring WideFromUtf16(std::span<const std::uint8_t> data, std::size_t units) {
    std::wstring text;
    text.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t unit = UnitAt(data, i);
        if constexpr (sizeof(wchar_t) == 2) {
            text.push_back(static_cast<wchar_t>(unit));
        } else {
            if (IsHighSurrogate(unit) && i + 1 < units && IsLowSurrogate(UnitAt(data, i + 1))) {
                const char32_t low = UnitAt(data, ++i);
                const char32_t point = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (low - 0xDC00);
                text.push_back(static_cast<wchar_t>(point));
            } else {
                text.push_back(static_cast<wchar_t>(unit));
            }
        }
    }
    return text;
}

wchar_t AsciiUpper(wchar_t c) noexcept {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// The component of `path` that starts at `start`, compared without regard to ASCII case.
bool ComponentIs(const std::wstring& path, std::size_t start, std::wstring_view name) noexcept {
    const std::size_t end = std::min(path.find(L'\\', start), path.size());
    if (end - start != name.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (AsciiUpper(path[start + i]) != name[i]) return false;
    }
    return true;
}

}  // namespace

ResultCode RegistryViewAccess(RegistryView view, bool system64, std::uint32_t& access) noexcept {
    switch (view) {
        case RegistryView::Default: access = 0; return rc::Ok;
        case RegistryView::Wow32: access = kKeyWow64_32Key; return rc::Ok;
        case RegistryView::Wow64: access = kKeyWow64_64Key; return rc::Ok;
        case RegistryView::Native: access = system64 ? kKeyWow64_64Key : 0; return rc::Ok;
    }
    return ResultFromWin32(kErrorInvalidParameter);
}

ResultCode KeyOpenResult(ResultCode opened) noexcept {
    if (opened == rc::FileNotFound || opened == rc::PathNotFound || opened == kBadPathName) {
        return rc::RegistryKeyNotFound;
    }
    return opened;
}

std::wstring ClassesSubPath(const std::wstring& path) {
    std::wstring sub = L"SOFTWARE\\CLASSES";
    if (!path.empty()) sub += L"\\" + path;
    return sub;
}

std::wstring Wow32MachinePath(const std::wstring& path) {
    constexpr std::wstring_view kSoftware = L"SOFTWARE";
    if (!ComponentIs(path, 0, kSoftware)) return path;
    const std::size_t next = kSoftware.size() + 1;
    if (next < path.size() &&
        (ComponentIs(path, next, L"WOW6432NODE") || ComponentIs(path, next, L"CLASSES"))) {
        return path;
    }
    std::wstring redirected = path;
    redirected.insert(kSoftware.size(), L"\\Wow6432Node");
    return redirected;
}

ResultCode DecodeRegistryString(std::uint32_t type, std::span<const std::uint8_t> data,
                                std::wstring& out) noexcept {
    if (!IsRegistryStringType(type)) return rc::RegistryWrongType;
    const std::size_t available = data.size() / 2;
    std::size_t units = 0;
    while (units < available && UnitAt(data, units) != 0) ++units;
    try {
        std::wstring text = WideFromUtf16(data, units);
        out.swap(text);
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
    return rc::Ok;
}

ResultCode DecodeRegistryDword(std::uint32_t type, std::span<const std::uint8_t> data,
                               std::uint32_t& out) noexcept {
    if (type != reg_type::Dword && type != reg_type::DwordBigEndian) {
        return rc::RegistryWrongType;
    }
    if (data.size() != 4) return rc::BadLength;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t shift = type == reg_type::Dword ? 8 * i : 8 * (3 - i);
        value |= std::uint32_t{data[i]} << shift;
    }
    out = value;
    return rc::Ok;
}

}  // namespace qor
