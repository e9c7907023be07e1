#pragma once
// Registry roots, views and the rules for reading values; the OS is behind RegistryReader.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/result.h"

namespace qor {

enum class RegistryRoot : std::uint32_t {
    ClassesRoot = 0x80000000,
    CurrentUser,
    LocalMachine,
    Users,
    PerformanceData,
    CurrentConfig,
    DynData,
    PerformanceText = 0x80000050,
    PerformanceNlsText = 0x80000060,
};

enum class RegistryView : std::uint32_t { Default = 0, Wow32 = 1, Wow64 = 2, Native = 4 };

namespace reg_type {
inline constexpr std::uint32_t String = 1;
inline constexpr std::uint32_t ExpandString = 2;
inline constexpr std::uint32_t Binary = 3;
inline constexpr std::uint32_t Dword = 4;
inline constexpr std::uint32_t DwordBigEndian = 5;
}  // namespace reg_type

inline constexpr std::uint32_t kKeyWow64_64Key = 0x100;
inline constexpr std::uint32_t kKeyWow64_32Key = 0x200;

// Access bits a view adds to every open; Native follows the system's bitness.
// Any other view value is rejected.
[[nodiscard]] ResultCode RegistryViewAccess(RegistryView view, bool system64,
                                            std::uint32_t& access) noexcept;

// The code of a failed key open: a missing key or path becomes RegistryKeyNotFound.
[[nodiscard]] ResultCode KeyOpenResult(ResultCode opened) noexcept;

// Path below the user's or the machine's root that stands for a classes-root path.
[[nodiscard]] std::wstring ClassesSubPath(const std::wstring& path);

// The path below the machine root that reaches the 32-bit view where the system does not
// redirect (a 64-bit process): keys below SOFTWARE move under Wow6432Node, except the shared
// Classes and paths that already name Wow6432Node.
[[nodiscard]] std::wstring Wow32MachinePath(const std::wstring& path);

[[nodiscard]] constexpr bool IsRegistryStringType(std::uint32_t type) noexcept {
    return type == reg_type::String || type == reg_type::ExpandString;
}

// UTF-16LE data up to its terminator (or its end; an odd last byte is ignored).
// Environment variables are not expanded.
[[nodiscard]] ResultCode DecodeRegistryString(std::uint32_t type,
                                              std::span<const std::uint8_t> data,
                                              std::wstring& out) noexcept;

// Exactly four bytes of REG_DWORD (little-endian) or REG_DWORD_BIG_ENDIAN.
[[nodiscard]] ResultCode DecodeRegistryDword(std::uint32_t type,
                                             std::span<const std::uint8_t> data,
                                             std::uint32_t& out) noexcept;

// Each read opens the key for reading, reads the value and closes the key.
class RegistryReader {
public:
    virtual ~RegistryReader() = default;
    [[nodiscard]] virtual ResultCode ReadString(RegistryRoot root, const std::wstring& path,
                                                const std::wstring& valueName,
                                                RegistryView view, std::wstring& out) = 0;
    [[nodiscard]] virtual ResultCode ReadDword(RegistryRoot root, const std::wstring& path,
                                               const std::wstring& valueName,
                                               RegistryView view, std::uint32_t& out) = 0;
    // Opens the key once and reads the named values in turn: `out` is the first that reads as
    // a string, empty when none does. Only the key's open fails the call.
    [[nodiscard]] virtual ResultCode ReadFirstString(RegistryRoot root, const std::wstring& path,
                                                     std::span<const wchar_t* const> valueNames,
                                                     RegistryView view,
                                                     std::optional<std::wstring>& out) = 0;
    // The names of the key's direct sub-keys, in the registry's order; `out` replaced.
    [[nodiscard]] virtual ResultCode ListSubKeys(RegistryRoot root, const std::wstring& path,
                                                 RegistryView view,
                                                 std::vector<std::wstring>& out) = 0;
};

}  // namespace qor
