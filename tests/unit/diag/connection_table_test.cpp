#include "diag/connection_table.h"

#include <array>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qor {
namespace {

using Bytes = std::vector<std::uint8_t>;
using V6 = std::array<std::uint8_t, 16>;

// A table as the IP helper lays it out: the row count, then the rows.
class TableBuilder {
public:
    TableBuilder& Dword(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
    TableBuilder& V4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
        bytes_.insert(bytes_.end(), {a, b, c, d});
        return *this;
    }
    TableBuilder& Addr6(const V6& v) {
        bytes_.insert(bytes_.end(), v.begin(), v.end());
        return *this;
    }
    // The low 16 bits of the field in network order, the rest left as the system may.
    TableBuilder& Port(std::uint16_t port) {
        bytes_.insert(bytes_.end(), {static_cast<std::uint8_t>(port >> 8),
                                     static_cast<std::uint8_t>(port), 0xAB, 0xCD});
        return *this;
    }
    Bytes Table(std::uint32_t rows) const {
        Bytes table = TableBuilder().Dword(rows).bytes_;
        table.insert(table.end(), bytes_.begin(), bytes_.end());
        return table;
    }

private:
    Bytes bytes_;
};

V6 Groups(std::array<std::uint16_t, 8> groups) {
    V6 v{};
    for (std::size_t i = 0; i < 16; ++i) v[i] = (groups[i / 2] >> (i % 2 ? 0 : 8)) & 0xFF;
    return v;
}

TEST(ConnectionTable, AddressTexts) {
    const struct { std::array<std::uint16_t, 8> groups; const wchar_t* text; } v6[] = {
        {{0x2001, 0x0db8, 0, 0, 0, 0, 0, 1}, L"2001:0db8::1"},
        {{0xfe80, 0, 0, 0, 0x020c, 0x29ff, 0xfe12, 0x3456}, L"fe80::020c:29ff:fe12:3456"},
        {{1, 0, 2, 0, 3, 0, 4, 0}, L"1::2:0:3:0:4:0"},
        {{0, 0, 0, 0, 0, 0, 0, 0}, L"::"},
        {{0, 0, 0, 0, 0, 0, 0, 1}, L"::1"},
        {{1, 0, 0, 2, 0, 0, 0, 3}, L"1:0:0:2::3"},        // the longer run, not the first
        {{1, 0, 0, 2, 0, 0, 3, 4}, L"1::2:0:0:3:4"},      // the first of equal runs
        {{0xabcd, 0x00ff, 0x0100, 0x1, 0x10, 0xffff, 0x0a0a, 0x7}, L"abcd:ff:0100:1:10:ffff:0a0a:7"},
        {{1, 2, 3, 4, 5, 6, 7, 0}, L"1:2:3:4:5:6:7::"},
        {{0, 0, 0, 0, 0, 0xffff, 0xc000, 0x0280}, L"::ffff:c000:0280"},  // no dotted quad
    };
    for (const auto& c : v6) EXPECT_EQ(Ipv6AddressText(Groups(c.groups)), c.text);

    EXPECT_EQ(Ipv4AddressText(std::array<std::uint8_t, 4>{255, 255, 255, 255}), L"255.255.255.255");
}

TEST(ConnectionTable, RecordsOfEachTable) {
    const V6 any{};
    const V6 loopback = Groups({0, 0, 0, 0, 0, 0, 0, 1});
    const V6 link = Groups({0xfe80, 0, 0, 0, 0x020c, 0x29ff, 0xfe12, 0x3456});
    const struct {
        const char* name; ConnectionTable table; Bytes bytes; const wchar_t* text;
    } cases[] = {
        {"listener of process 4 on 445", ConnectionTable::Tcp4,
         TableBuilder().Dword(2).V4(0, 0, 0, 0).Port(445).V4(0, 0, 0, 0).Port(0).Dword(4).Table(1),
         L"#4 @MIB_TCP_STATE_LISTEN (2)\n0.0.0.0 : 445\n0.0.0.0 : 0\n\n"},
        {"state 0 and above 12 left out", ConnectionTable::Tcp4,
         TableBuilder()
             .Dword(0).V4(10, 0, 0, 1).Port(1).V4(10, 0, 0, 2).Port(2).Dword(7)
             .Dword(13).V4(10, 0, 0, 1).Port(1).V4(10, 0, 0, 2).Port(2).Dword(8)
             .Dword(12).V4(127, 0, 0, 1).Port(65535).V4(127, 0, 0, 1).Port(49152).Dword(9)
             .Table(3),
         L"#7 @0 (0)\n10.0.0.1 : 1\n10.0.0.2 : 2\n\n"
         L"#9 @MIB_TCP_STATE_DELETE_TCB (12)\n127.0.0.1 : 65535\n127.0.0.1 : 49152\n\n"},
        {"IPv6 listener with scope 0 on 135", ConnectionTable::Tcp6,
         TableBuilder().Addr6(any).Dword(0).Port(135).Addr6(any).Dword(0).Port(0).Dword(2)
             .Dword(900).Table(1),
         L"#900 @MIB_TCP_STATE_LISTEN (2)\n::%0 : 135\n::%0 : 0\n\n"},
        {"IPv6 connection with scopes", ConnectionTable::Tcp6,
         TableBuilder().Addr6(link).Dword(11).Port(50000).Addr6(loopback).Dword(1).Port(443)
             .Dword(5).Dword(1234).Table(1),
         L"#1234 @MIB_TCP_STATE_ESTAB (5)\nfe80::020c:29ff:fe12:3456%11 : 50000\n::1%1 : 443\n\n"},
        {"UDP IPv4", ConnectionTable::Udp4,
         TableBuilder().V4(0, 0, 0, 0).Port(137).Dword(4).V4(192, 168, 0, 5).Port(53).Dword(2000)
             .Table(2),
         L"#4\n0.0.0.0 : 137\n\n#2000\n192.168.0.5 : 53\n\n"},
        {"UDP IPv6", ConnectionTable::Udp6,
         TableBuilder().Addr6(link).Dword(3).Port(546).Dword(1500).Table(1),
         L"#1500\nfe80::020c:29ff:fe12:3456%3 : 546\n\n"},
        {"empty table", ConnectionTable::Tcp6, TableBuilder().Table(0), L""},
        {"count beyond the bytes", ConnectionTable::Udp4,
         TableBuilder().V4(1, 2, 3, 4).Port(5).Dword(6).V4(1, 2, 3, 4).Table(1000),
         L"#6\n1.2.3.4 : 5\n\n"},
        {"shorter than its count", ConnectionTable::Tcp4, Bytes{1, 0}, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring text = L">";
        AppendConnectionRecords(c.table, c.bytes, text);
        EXPECT_EQ(text, std::wstring(L">") + c.text);
    }
}

// Tables by kind, each answered once it is given at least its size; a kind may keep growing.
class FakeTables final : public ConnectionTableReader {
public:
    std::uint32_t Read(ConnectionTable table, void* buffer, std::uint32_t& size) noexcept override {
        reads.push_back({table, size});
        if (const auto e = errors.find(table); e != errors.end()) return e->second;
        Bytes& bytes = tables[table];
        if (growing.count(table)) bytes.resize(bytes.size() + 4096);
        if (size < bytes.size()) {
            size = static_cast<std::uint32_t>(bytes.size());
            return kErrorInsufficientBuffer;
        }
        std::copy(bytes.begin(), bytes.end(), static_cast<std::uint8_t*>(buffer));
        return 0;
    }
    std::map<ConnectionTable, Bytes> tables;
    std::map<ConnectionTable, std::uint32_t> errors;
    std::map<ConnectionTable, bool> growing;
    std::vector<std::pair<ConnectionTable, std::uint32_t>> reads;
};

Bytes Udp4Rows(std::uint32_t rows, std::uint32_t pid) {
    TableBuilder b;
    for (std::uint32_t i = 0; i < rows; ++i) b.V4(10, 0, 0, 1).Port(7).Dword(pid);
    return b.Table(rows);
}

TEST(ConnectionTable, FourTablesInOrderGrowingAndFailingOnesSkippedAlone) {
    FakeTables reader;
    reader.tables[ConnectionTable::Tcp4] = TableBuilder()
        .Dword(2).V4(0, 0, 0, 0).Port(445).V4(0, 0, 0, 0).Port(0).Dword(4).Table(1);
    reader.tables[ConnectionTable::Tcp6] = TableBuilder()
        .Addr6(V6{}).Dword(0).Port(135).Addr6(V6{}).Dword(0).Port(0).Dword(2).Dword(40).Table(1);
    reader.tables[ConnectionTable::Udp4] = Udp4Rows(200, 77);  // 2404 bytes: read twice
    reader.tables[ConnectionTable::Udp6] =
        TableBuilder().Addr6(V6{}).Dword(0).Port(500).Dword(60).Table(1);
    std::wstring udp;
    for (int i = 0; i < 200; ++i) udp += L"#77\n10.0.0.1 : 7\n\n";
    udp += L"#60\n::%0 : 500\n\n";
    std::wstring text;
    ASSERT_EQ(AppendConnectionTables(reader, text), rc::Ok);
    EXPECT_EQ(text, L"#4 @MIB_TCP_STATE_LISTEN (2)\n0.0.0.0 : 445\n0.0.0.0 : 0\n\n"
                    L"#40 @MIB_TCP_STATE_LISTEN (2)\n::%0 : 135\n::%0 : 0\n\n" + udp);

    reader.growing[ConnectionTable::Tcp4] = true;  // never fits
    reader.errors[ConnectionTable::Tcp6] = 50;     // not supported
    reader.reads.clear();
    text.clear();
    ASSERT_EQ(AppendConnectionTables(reader, text), rc::Ok);
    EXPECT_EQ(text, udp);
    std::vector<std::uint32_t> tcp4Sizes, udp4Sizes;
    for (const auto& [table, size] : reader.reads) {
        if (table == ConnectionTable::Tcp4) tcp4Sizes.push_back(size);
        if (table == ConnectionTable::Udp4) udp4Sizes.push_back(size);
    }
    EXPECT_EQ(tcp4Sizes.size(), static_cast<std::size_t>(kMaxConnectionTableReads));
    EXPECT_EQ(udp4Sizes, (std::vector<std::uint32_t>{1024, 2404}));
}

TEST(ConnectionTable, AvailabilityFollowsTheSystemVersion) {
    const struct {
        bool filled; std::uint32_t major, minor; ProcessorClass cpu;
        std::uint8_t productType, servicePack; bool available;
    } cases[] = {
        {false, 10, 0, ProcessorClass::X86, 1, 0, false},
        {true, 6, 0, ProcessorClass::X86, 1, 0, true},
        {true, 5, 1, ProcessorClass::X86, 1, 1, false},  // XP SP1
        {true, 5, 1, ProcessorClass::X86, 1, 2, true},
        {true, 5, 2, ProcessorClass::Amd64, 1, 0, false},  // XP x64 without a service pack
        {true, 5, 2, ProcessorClass::Amd64, 1, 1, true},
        {true, 5, 2, ProcessorClass::X86, 3, 0, false},  // Server 2003
        {true, 5, 2, ProcessorClass::X86, 3, 1, true},
        {true, 5, 0, ProcessorClass::X86, 1, 4, false},  // 2000
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ConnectionTablesAvailable({.filled = c.filled, .majorVersion = c.major,
                                             .minorVersion = c.minor, .processorClass = c.cpu,
                                             .productType = c.productType,
                                             .servicePackMajor = c.servicePack, .displayName = {}}),
                  c.available)
            << c.major << "." << c.minor << " sp" << int{c.servicePack};
    }
}

}  // namespace
}  // namespace qor
