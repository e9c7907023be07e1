#include "diag/net_types.h"

#include <gtest/gtest.h>

namespace qor {
namespace {

TEST(NetTypes, GuidParsesAndPrintsInLowerCase) {
    const std::wstring lower = L"{4d36e972-e325-11ce-bfc1-08002be10318}";
    for (const wchar_t* text : {L"{4D36E972-E325-11CE-BFC1-08002BE10318}",
                                L"4d36e972-e325-11ce-bfc1-08002be10318"}) {
        EXPECT_EQ(GuidText(ParseGuid(text)), lower) << text;
    }
    for (const wchar_t* text :
         {L"", L"Loopback Pseudo-Interface 1", L"{4d36e972-e325-11ce-bfc1-08002be10318",
          L"{4d36e972-e325-11ce-bfc108-002be10318}", L"{4d36e972-e325-11ce-bfc1-08002be1031g}",
          L"{4d36e972-e325-11ce-bfc1-08002be10318}}", L"{+d36e972-e325-11ce-bfc1-08002be10318}",
          L"{4d36e972-e325-11ce-bfc1 08002be10318}"}) {
        EXPECT_FALSE(ParseGuid(text)) << text;
    }
    EXPECT_EQ(GuidText(std::nullopt), L"");
}

IpAddress V6(std::initializer_list<unsigned> groups) {
    std::array<std::uint8_t, 16> bytes{};
    std::size_t i = 0;
    for (const unsigned group : groups) {
        bytes[i++] = static_cast<std::uint8_t>(group >> 8);
        bytes[i++] = static_cast<std::uint8_t>(group);
    }
    return IpAddress::V6(bytes);
}

TEST(NetTypes, AddressText) {
    const struct { IpAddress address; const wchar_t* text; } cases[] = {
        {IpAddress::V4(192, 168, 0, 1), L"192.168.0.1"},
        {IpAddress::V4(0, 0, 0, 0), L"0.0.0.0"},
        {V6({0, 0, 0, 0, 0, 0, 0, 1}), L"::1"},
        {V6({0, 0, 0, 0, 0, 0, 0, 0}), L"::"},
        {V6({0xfe80, 0, 0, 0, 0x21a, 0x2bff, 0xfe04, 0x5c}), L"fe80::21a:2bff:fe04:5c"},
        {V6({0x2001, 0xdb8, 0, 0, 1, 0, 0, 1}), L"2001:db8::1:0:0:1"},  // first of equal runs
        {V6({0x2001, 0xdb8, 1, 0, 1, 1, 1, 1}), L"2001:db8:1::1:1:1:1"},  // a single zero group
        {V6({1, 0, 0, 2, 0, 0, 0, 3}), L"1:0:0:2::3"},                  // the longer run wins
        {V6({0xabcd, 1, 2, 3, 4, 5, 6, 0}), L"abcd:1:2:3:4:5:6::"},
        {IpAddress{}, L""},
    };
    for (const auto& c : cases) EXPECT_EQ(AddressText(c.address), c.text) << c.text;
}

TEST(NetTypes, MaskOfPrefixLength) {
    const struct { AddressFamily family; unsigned length; const wchar_t* text; } cases[] = {
        {AddressFamily::Ipv4, 24, L"255.255.255.0"}, {AddressFamily::Ipv4, 0, L"0.0.0.0"},
        {AddressFamily::Ipv4, 20, L"255.255.240.0"}, {AddressFamily::Ipv4, 32, L"255.255.255.255"},
        {AddressFamily::Ipv4, 99, L"255.255.255.255"},
        {AddressFamily::Ipv6, 64, L"ffff:ffff:ffff:ffff::"}, {AddressFamily::Ipv6, 0, L"::"},
        {AddressFamily::Ipv6, 10, L"ffc0::"},
        {AddressFamily::Ipv6, 128, L"ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"},
        {AddressFamily::Unknown, 8, L""},
    };
    for (const auto& c : cases) EXPECT_EQ(AddressText(PrefixMask(c.family, c.length)), c.text) << c.text;
}

TEST(NetTypes, PrefixContains) {
    const IpAddress net = IpAddress::V4(192, 168, 0, 0);
    EXPECT_TRUE(PrefixContains(net, 24, IpAddress::V4(192, 168, 0, 77)));
    EXPECT_FALSE(PrefixContains(net, 24, IpAddress::V4(192, 168, 1, 77)));
    EXPECT_TRUE(PrefixContains(net, 0, IpAddress::V4(10, 0, 0, 1)));
    EXPECT_FALSE(PrefixContains(net, 33, IpAddress::V4(192, 168, 0, 0)));
    EXPECT_FALSE(PrefixContains(net, 0, V6({0, 0, 0, 0, 0, 0, 0, 1})));
    EXPECT_TRUE(PrefixContains(V6({0xfe80}), 64, V6({0xfe80, 0, 0, 0, 1, 2, 3, 4})));
    EXPECT_FALSE(PrefixContains(V6({0xfe80}), 65, V6({0xfe80, 0, 0, 0, 0x8000})));
}

}  // namespace
}  // namespace qor
