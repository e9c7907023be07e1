#pragma once
// GUIDs and IP addresses as the network dumps hold them, with their text forms.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qor {

struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};
    bool operator==(const Guid&) const = default;
};

// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx", with or without the braces; nullopt otherwise.
std::optional<Guid> ParseGuid(std::wstring_view text);

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" in lower case; empty for no GUID.
std::wstring GuidText(const std::optional<Guid>& guid);

enum class AddressFamily : std::uint16_t { Unknown = 0, Ipv4 = 4, Ipv6 = 6 };

struct IpAddress {
    AddressFamily family = AddressFamily::Unknown;
    std::array<std::uint8_t, 16> bytes{};  // network order; IPv4 uses the first 4

    static IpAddress V4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d);
    static IpAddress V6(const std::array<std::uint8_t, 16>& bytes);
};

// Bits in an address of the family; 0 for an unknown one.
unsigned AddressBits(AddressFamily family);

// Whether `address` lies in `prefix`/`length`; never for a length beyond the family's bits.
bool PrefixContains(const IpAddress& prefix, unsigned length, const IpAddress& address);

// The mask of a prefix length in the family (clamped to the family's bits).
IpAddress PrefixMask(AddressFamily family, unsigned length);

// Dotted decimal, or eight hexadecimal groups with the longest zero run as "::";
// empty for an unknown family.
std::wstring AddressText(const IpAddress& address);

// Lower-case hexadecimal pairs joined by "-"; empty for none.
std::wstring PhysicalAddressText(const std::uint8_t* bytes, std::size_t length);

}  // namespace qor
