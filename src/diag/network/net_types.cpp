#include "diag/network/net_types.h"

#include "common/text_format.h"

namespace qor {
namespace {

std::optional<unsigned> HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return static_cast<unsigned>(c - L'0');
    if (c >= L'a' && c <= L'f') return static_cast<unsigned>(c - L'a' + 10);
    if (c >= L'A' && c <= L'F') return static_cast<unsigned>(c - L'A' + 10);
    return std::nullopt;
}

// `digits` hexadecimal digits from the front of `text`, consumed.
std::optional<std::uint32_t> TakeHex(std::wstring_view& text, std::size_t digits) {
    if (text.size() < digits) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const auto digit = HexDigit(text[i]);
        if (!digit) return std::nullopt;
        value = (value << 4) | *digit;
    }
    text.remove_prefix(digits);
    return value;
}

bool TakeDash(std::wstring_view& text) {
    if (text.empty() || text.front() != L'-') return false;
    text.remove_prefix(1);
    return true;
}

}  // namespace

std::optional<Guid> ParseGuid(std::wstring_view text) {
    if (text.size() == 38 && text.front() == L'{' && text.back() == L'}') {
        text = text.substr(1, 36);
    }
    if (text.size() != 36) return std::nullopt;
    Guid guid;
    const auto d1 = TakeHex(text, 8);
    if (!d1 || !TakeDash(text)) return std::nullopt;
    const auto d2 = TakeHex(text, 4);
    if (!d2 || !TakeDash(text)) return std::nullopt;
    const auto d3 = TakeHex(text, 4);
    if (!d3 || !TakeDash(text)) return std::nullopt;
    guid.data1 = *d1;
    guid.data2 = static_cast<std::uint16_t>(*d2);
    guid.data3 = static_cast<std::uint16_t>(*d3);
    for (std::size_t i = 0; i < guid.data4.size(); ++i) {
        if (i == 2 && !TakeDash(text)) return std::nullopt;
        const auto byte = TakeHex(text, 2);
        if (!byte) return std::nullopt;
        guid.data4[i] = static_cast<std::uint8_t>(*byte);
    }
    return guid;
}

std::wstring GuidText(const std::optional<Guid>& guid) {
    if (!guid) return {};
    const auto& d = guid->data4;
    return FormatText(L"{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", guid->data1,
                      unsigned{guid->data2}, unsigned{guid->data3}, unsigned{d[0]},
                      unsigned{d[1]}, unsigned{d[2]}, unsigned{d[3]}, unsigned{d[4]},
                      unsigned{d[5]}, unsigned{d[6]}, unsigned{d[7]});
}

IpAddress IpAddress::V4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    IpAddress address;
    address.family = AddressFamily::Ipv4;
    address.bytes[0] = a;
    address.bytes[1] = b;
    address.bytes[2] = c;
    address.bytes[3] = d;
    return address;
}

IpAddress IpAddress::V6(const std::array<std::uint8_t, 16>& bytes) {
    IpAddress address;
    address.family = AddressFamily::Ipv6;
    address.bytes = bytes;
    return address;
}

unsigned AddressBits(AddressFamily family) {
    switch (family) {
    case AddressFamily::Ipv4: return 32;
    case AddressFamily::Ipv6: return 128;
    default: return 0;
    }
}

bool PrefixContains(const IpAddress& prefix, unsigned length, const IpAddress& address) {
    if (prefix.family != address.family || prefix.family == AddressFamily::Unknown) return false;
    if (length > AddressBits(prefix.family)) return false;
    const IpAddress mask = PrefixMask(prefix.family, length);
    for (std::size_t i = 0; i < AddressBits(prefix.family) / 8; ++i) {
        if ((prefix.bytes[i] & mask.bytes[i]) != (address.bytes[i] & mask.bytes[i])) return false;
    }
    return true;
}

IpAddress PrefixMask(AddressFamily family, unsigned length) {
    IpAddress mask;
    mask.family = family;
    const unsigned bits = AddressBits(family);
    if (length > bits) length = bits;
    for (unsigned i = 0; i < length / 8; ++i) mask.bytes[i] = 0xff;
    if (length % 8 != 0) mask.bytes[length / 8] = static_cast<std::uint8_t>(0xff00u >> (length % 8));
    return mask;
}

namespace {

std::wstring Ipv6Text(const std::array<std::uint8_t, 16>& bytes) {
    unsigned groups[8];
    for (int i = 0; i < 8; ++i) groups[i] = (unsigned{bytes[2 * i]} << 8) | bytes[2 * i + 1];
    // The first longest run of zero groups, however short.
    int bestStart = -1;
    int bestLength = 0;
    for (int i = 0; i < 8;) {
        if (groups[i] != 0) {
            ++i;
            continue;
        }
        int end = i;
        while (end < 8 && groups[end] == 0) ++end;
        if (end - i > bestLength) {
            bestStart = i;
            bestLength = end - i;
        }
        i = end;
    }
    std::wstring text;
    for (int i = 0; i < 8; ++i) {
        if (i == bestStart) {
            text += L"::";
            i += bestLength - 1;
            continue;
        }
        if (!text.empty() && text.back() != L':') text += L':';
        text += FormatText(L"%x", groups[i]);
    }
    return text;
}

}  // namespace

std::wstring AddressText(const IpAddress& address) {
    switch (address.family) {
    case AddressFamily::Ipv4:
        return FormatText(L"%u.%u.%u.%u", unsigned{address.bytes[0]}, unsigned{address.bytes[1]},
                          unsigned{address.bytes[2]}, unsigned{address.bytes[3]});
    case AddressFamily::Ipv6: return Ipv6Text(address.bytes);
    default: return {};
    }
}

std::wstring PhysicalAddressText(const std::uint8_t* bytes, std::size_t length) {
    std::wstring text;
    for (std::size_t i = 0; i < length; ++i) {
        if (i != 0) text += L'-';
        text += FormatText(L"%02x", unsigned{bytes[i]});
    }
    return text;
}

}  // namespace qor
