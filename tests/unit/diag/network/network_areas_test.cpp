#include "diag/network/network_areas.h"

#include <gtest/gtest.h>

namespace qor {
namespace {

constexpr const char* kLanName = "{4d36e972-e325-11ce-bfc1-08002be10318}";
constexpr const char* kWifiName = "{00000000-1111-2222-3333-444455556666}";

OsVersionRecord Os(std::uint32_t major, std::uint32_t minor, std::uint8_t servicePack = 0,
                   ProcessorClass processor = ProcessorClass::X86) {
    return {.filled = true, .majorVersion = major, .minorVersion = minor,
            .processorClass = processor, .servicePackMajor = servicePack, .displayName = {}};
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

AdapterRow Row(const char* name, const wchar_t* description, bool up, std::uint32_t type = 6) {
    AdapterRow row;
    row.name = name;
    row.description = description;
    row.friendlyName = std::wstring(L"Friendly ") + description;
    row.ifType = type;
    row.operStatus = up ? kIfOperStatusUp : 2;
    return row;
}

AdapterRow Loopback() {
    AdapterRow row = Row("{11111111-2222-3333-4444-555555555555}", L"Software Loopback", true,
                         kIfTypeLoopback);
    row.ifIndex = 1;
    row.unicast = {IpAddress::V4(127, 0, 0, 1)};
    row.prefixes = {{IpAddress::V4(127, 0, 0, 0), 8}};
    return row;
}

AdapterRow Lan(std::uint8_t third = 1) {
    AdapterRow row = Row(kLanName, L"Fast Ethernet", true);
    row.ifIndex = 2;
    row.physicalAddress = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    row.unicast = {IpAddress::V4(192, 168, third, 10)};
    row.prefixes = {{IpAddress::V4(10, 0, 0, 0), 8}, {IpAddress::V4(192, 168, third, 0), 24},
                    {IpAddress::V4(192, 168, third, 10), 32}};
    return row;
}

// The adapter layer's system calls, and the log it writes to.
class FakeAdapters final : public AdapterSystem, public LogSink {
public:
    void Write(LogSeverity, const wchar_t* logger, const wchar_t* source,
               const std::wstring& message) noexcept override {
        records.push_back(std::wstring(logger) + L"|" + source + L"|" + message);
    }
    bool HasAdapterQuery() noexcept override { return hasQuery; }
    // Answers `answers` one per call, then 0 with the rows.
    std::uint32_t QueryAdapters(std::uint32_t& size, std::vector<AdapterRow>& out) override {
        sizes.push_back(size);
        const std::uint32_t answer = sizes.size() <= answers.size() ? answers[sizes.size() - 1] : 0;
        if (answer == 0) out = rows;
        size += 1000;  // asks for more each time
        return answer;
    }
    ResultCode BestInterface(AddressFamily family, bool, std::uint32_t& index) noexcept override {
        index = family == AddressFamily::Ipv4 ? bestIpv4 : bestIpv6;
        return rc::Ok;
    }
    std::uint32_t EnumRasConnections(std::uint32_t&, std::vector<RasConnectionRow>& out) override {
        out = rasConnections;
        return rasAnswer;
    }
    std::uint32_t EnumPhoneBookEntries(std::uint32_t&, std::vector<std::wstring>& out) override {
        out = phoneBook;
        return 0;
    }
    ResultCode QuerySharing(std::vector<SharedConnectionRow>& out) override {
        ++sharingQueries;
        out = shared;
        return rc::Ok;
    }
    bool OpenDevice(const std::wstring& path) noexcept override {
        openedDevices.push_back(path);
        return natDevice;
    }

    bool hasQuery = true, natDevice = false;
    std::vector<std::uint32_t> answers, sizes;
    std::vector<AdapterRow> rows;
    std::uint32_t bestIpv4 = 0, bestIpv6 = 0, rasAnswer = 0;
    std::vector<RasConnectionRow> rasConnections;
    std::vector<std::wstring> phoneBook, openedDevices, records;
    std::vector<SharedConnectionRow> shared;
    int sharingQueries = 0;
};

class FakeNetworks final : public NetworkListSource {
public:
    ResultCode InitializeCom() noexcept override { return initAnswer; }
    void UninitializeCom() noexcept override { ++uninitialized; }
    ResultCode ReadNetworks(std::vector<NetworkEntry>& out) override {
        out = networks;
        return readAnswer;
    }
    ResultCode initAnswer = rc::Ok, readAnswer = rc::Ok;
    std::vector<NetworkEntry> networks;
    int uninitialized = 0;
};

std::vector<OsAdapter> Refresh(FakeAdapters& system, const OsVersionRecord& os) {
    OsAdapters adapters(system, os, system);
    EXPECT_EQ(adapters.Refresh(), rc::Ok);
    return adapters.List();
}

// The loopback adapter's record is checked end to end.
TEST(AdapterText, ShowsFlagsAndAddressesAsTheFirewallSeesThem) {
    AdapterRow down = Lan();
    down.operStatus = 2;
    AdapterRow plain = Row("not a guid", L"", false, 6);
    plain.friendlyName = L"";
    plain.physicalAddress = {0x00, 0x1a, 0x2b, 0xff, 0x04, 0x5c, 0x01, 0x02};
    AdapterRow extra = Lan();  // no prefix holds the IPv4 address
    extra.unicast.insert(extra.unicast.end(), {V6({0xfe80, 0, 0, 0, 0, 0, 0, 1}), IpAddress{}});
    extra.prefixes = {{V6({0xfe80}), 64}};
    AdapterRow ppp = Row(kWifiName, L"WAN Miniport (PPP)", true, kIfTypePpp);
    ppp.friendlyName = L"Office";
    const std::wstring lan = L"Adapter name:Friendly Fast Ethernet\nDescription:Fast Ethernet\n"
                             L"Windows ID:{4d36e972-e325-11ce-bfc1-08002be10318}\n"
                             L"System GUID:{4d36e972-e325-11ce-bfc1-08002be10318}\n";
    const std::wstring lanUp = lan + L"Flags: {Active, DefaultRouteIP4, }\n"
                                     L"MAC Address:00-1a-2b-3c-4d-5e\nIP Address:\n";
    const struct { AdapterRow row; std::wstring text; } cases[] = {
        {Lan(), lanUp + L"\taddress:192.168.1.10, mask:255.255.255.0\n"},
        {down, lan + L"Flags: {}\nMAC Address:00-1a-2b-3c-4d-5e\nIP Address:\n"},
        {plain, L"Adapter name:\nDescription:not a guid\nWindows ID:not a guid\nSystem GUID:\n"
                L"Flags: {}\nMAC Address:00-1a-2b-ff-04-5c-01-02\nIP Address:\n"},
        {extra, lanUp + L"\taddress:192.168.1.10, mask:0.0.0.0\n"
                        L"\taddress:fe80::1, mask:ffff:ffff:ffff:ffff::\n\taddress:, mask:\n"},
        {ppp, L"Adapter name:Office\nDescription:Office\nWindows ID:Office\n"  // dial-up: its name
              L"System GUID:{00000000-1111-2222-3333-444455556666}\n"
              L"Flags: {Active, Dial-up, }\nMAC Address:\nIP Address:\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(AdapterText(MakeAdapterRecord(c.row, 2, 0), Os(6, 1)), c.text);
}

TEST(AdapterText, FlagWordsInTheirPrintedOrderAndNoNameBeforeXp) {
    OsAdapter adapter;
    adapter.flags = 0x7bf;
    EXPECT_EQ(AdapterText(adapter, Os(5, 0)),
              L"Description:\nWindows ID:\nSystem GUID:\nFlags: {Active, DefaultRouteIP4, "
              L"DefaultRouteIP6, Dial-up, Loopback, SharedPrivate, Shared, Unsupported, Tunnel, "
              L"VPN, }\nMAC Address:\nIP Address:\n");
}

// Default routes only for active best interfaces; VPN by adapter name only when up.
TEST(OsAdapters, RouteAndVpnFlags) {
    FakeAdapters system;
    AdapterRow lan = Lan();
    lan.ipv6IfIndex = 7;
    AdapterRow down = Row(kWifiName, L"Wireless", false);
    down.ifIndex = 3;
    system.rows = {lan, down,
                   Row(kLanName, L"TAP-Win32 Adapter V9 2", true),
                   Row(kLanName, L"TAP-Win32 Adapter V9 2", false),
                   Row(kLanName, L"TAP-Win32 Adapter V9", true),
                   Row(kLanName, L"TAP-Win32 Adapter V", true),
                   Row(kLanName, L"tap-win32 adapter v9", true),
                   Row(kLanName, L"Kerio Virtual Network Adapter #3", true, kIfTypeLoopback),
                   Row(kLanName, L"Hamachi Network Interface", true, kIfTypeTunnel),
                   Row(kLanName, L"Remote office", false)};  // an active VPN dial-up connection
    system.rasConnections = {{L"Remote office", L"VpN"}, {L"Modem", L"modem"}};
    namespace f = adapter_flag;
    const std::uint32_t up = f::Active;
    std::vector<std::uint32_t> flags{up | f::DefaultRouteIp4 | f::DefaultRouteIp6, 0, up | f::Vpn,
                                     0, up | f::Vpn, up, up, up | f::Loopback | f::Unsupported,
                                     up | f::Tunnel | f::Vpn, f::Vpn};
    const auto refreshed = [&] {
        std::vector<std::uint32_t> found;
        for (const OsAdapter& adapter : Refresh(system, Os(6, 1))) found.push_back(adapter.flags);
        return found;
    };
    system.bestIpv4 = 2;
    system.bestIpv6 = 7;
    EXPECT_EQ(refreshed(), flags);
    system.bestIpv4 = 3;
    system.bestIpv6 = 0;  // no best IPv6 route: an index of 0 marks nothing
    flags[0] = up;
    EXPECT_EQ(refreshed(), flags);
}

TEST(OsAdapters, AdapterQueryGrowsItsBufferTenCallsAtMost) {
    const struct { std::vector<std::uint32_t> answers; ResultCode code; std::size_t calls; } cases[] = {
        {{}, rc::Ok, 1},
        {{111, 87, 1}, rc::Ok, 4},
        {std::vector<std::uint32_t>(9, 111), rc::Ok, 10},
        {std::vector<std::uint32_t>(10, 111), kAdapterQueryTooManyCalls, 10},
        {{111, 8}, ResultFromWin32(8), 2},
        {{232}, ResultFromWin32(232), 1},
    };
    for (const auto& c : cases) {
        FakeAdapters system;
        system.rows = {Lan()};
        system.answers = c.answers;
        OsAdapters adapters(system, Os(6, 1), system);
        EXPECT_EQ(adapters.Refresh(), c.code);
        ASSERT_EQ(system.sizes.size(), c.calls);
        EXPECT_EQ(system.sizes[0], kFirstAdapterBufferSize);
        EXPECT_EQ(system.sizes.back(), kFirstAdapterBufferSize + 1000 * (c.calls - 1));
        EXPECT_EQ(adapters.List().size(), c.code == rc::Ok ? 1u : 0u);
        if (c.code != rc::Ok) {
            ASSERT_EQ(system.records.size(), 1u);
            EXPECT_TRUE(
                system.records[0].starts_with(L"QOR.QORFW.Sys.OsAdapters|FWWINOSADAPTINFO|"));
        }
    }
    FakeAdapters missing;
    missing.hasQuery = false;
    EXPECT_EQ(OsAdapters(missing, Os(6, 1), missing).Refresh(), kAdapterQueryMissing);
}

TEST(OsAdapters, PhoneBookEntriesWithoutAdapterGetDialUpRecords) {
    FakeAdapters system;
    AdapterRow ppp = Row(kWifiName, L"WAN Miniport (PPP)", true, kIfTypePpp);
    ppp.friendlyName = L"Office";
    system.rows = {Lan(), ppp};
    system.phoneBook = {L"Office", L"Home ISP", L"office"};
    system.rasAnswer = 603 + 1;  // a connection listing failure is not fatal
    OsAdapters adapters(system, Os(5, 1, 3), system);
    ASSERT_EQ(adapters.Refresh(), rc::Ok);
    ASSERT_EQ(adapters.List().size(), 4u);
    EXPECT_EQ(adapters.List()[3].description, L"office");
    EXPECT_EQ(AdapterText(adapters.List()[2], Os(5, 1, 3)),
              L"Adapter name:\nDescription:Home ISP\nWindows ID:Home ISP\nSystem GUID:\n"
              L"Flags: {Dial-up, }\nMAC Address:\nIP Address:\n");
    EXPECT_EQ(system.records.size(), 1u);
}

TEST(OsAdapters, SharingByVersionAndAddress) {
    const SharedConnectionRow publicSide{ParseGuid(L"{00000000-1111-2222-3333-444455556666}"), 0x100};
    const SharedConnectionRow privateSide{ParseGuid(L"{4d36e972-e325-11ce-bfc1-08002be10318}"),
                                          0x2000};
    const std::uint32_t shared = adapter_flag::Shared, priv = adapter_flag::SharedPrivate;
    const ProcessorClass x64 = ProcessorClass::Amd64;
    const std::vector<std::wstring> nat{L"\\\\.\\IPNAT", L"\\\\.\\Global\\IPNAT"};
    // The sharing flags each adapter ends with, the queries, the device paths tried of `nat`.
    const struct {
        const char* name; OsVersionRecord os; std::vector<SharedConnectionRow> query;
        bool natDevice; std::uint32_t lan, wifi; int queries; std::size_t devicePaths;
    } cases[] = {
        {"2000 heuristic with device", Os(5, 0), {publicSide}, true, priv, 0, 0, 1},
        {"2000 heuristic without device", Os(5, 0), {}, false, 0, 0, 0, 2},
        {"unfilled record like 2000", OsVersionRecord{}, {}, true, priv, 0, 0, 1},
        {"XP SP2 query and heuristic", Os(5, 1, 2), {publicSide}, false, priv, shared, 1, 0},
        {"XP SP2 heuristic needs a mark", Os(5, 1, 2), {}, false, 0, 0, 1, 0},
        {"XP SP3 query only", Os(5, 1, 3), {publicSide}, true, 0, shared, 1, 0},
        {"x64 SP1 query only", Os(5, 2, 1, x64), {publicSide}, true, 0, shared, 1, 0},
        {"x64 SP0 heuristic", Os(5, 2, 0, x64), {publicSide}, false, priv, shared, 1, 0},
        {"7 query both sides", Os(6, 1), {publicSide, privateSide}, true, priv, shared, 1, 0},
        {"7 no heuristic", Os(6, 1), {}, true, 0, 0, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeAdapters system;
        AdapterRow wifi = Row(kWifiName, L"Wireless", true);
        wifi.unicast = {IpAddress::V4(10, 1, 1, 1)};
        system.rows = {Lan(0), wifi};
        system.shared = c.query;
        system.natDevice = c.natDevice;
        const std::vector<OsAdapter> list = Refresh(system, c.os);
        EXPECT_EQ(list.at(0).flags & (shared | priv), c.lan);
        EXPECT_EQ(list.at(1).flags & (shared | priv), c.wifi);
        EXPECT_EQ(system.sharingQueries, c.queries);
        EXPECT_EQ(system.openedDevices,
                  std::vector<std::wstring>(nat.begin(), nat.begin() + c.devicePaths));
    }
}

TEST(OsAdapters, OneAdapterIsNeverShared) {
    for (const OsVersionRecord& os : {Os(5, 0), Os(5, 1, 2), Os(6, 1)}) {
        FakeAdapters system;
        system.rows = {Lan(0)};
        system.shared = {{ParseGuid(L"{4d36e972-e325-11ce-bfc1-08002be10318}"), 0x2100}};
        system.natDevice = true;
        EXPECT_EQ(Refresh(system, os).at(0).flags, adapter_flag::Active);
        EXPECT_EQ(system.sharingQueries, 0);
        EXPECT_TRUE(system.openedDevices.empty());
    }
}

// XP and 2000, without the network list, are checked end to end.
TEST(NetworkAreas, SectionsByVersionAndComAnswer) {
    const NetworkEntry network{
        .name = L"Office", .description = L"Office LAN",
        .networkId = ParseGuid(L"{4d36e972-e325-11ce-bfc1-08002be10318}"), .domainType = 2,
        .connectivity = 0x40, .category = 1, .networkClass = 3,
        .connections = {{0x42, 1, ParseGuid(L"{00000000-1111-2222-3333-444455556666}"),
                         std::nullopt}}};
    const std::wstring networkLines =
        L"NLA networks:\nNetwork name:Office, description:Office LAN, connectivity:0x40, "
        L"category:0x1, class:0x3, domain type:0x2, "
        L"network guid:{4d36e972-e325-11ce-bfc1-08002be10318}\n"
        L"\t Connection connectivity:0x42, domain type:0x1, "
        L"connection guid:{00000000-1111-2222-3333-444455556666}, adapter guid:\n";
    const std::wstring adapters = L"Adapters:\nAdapter name:Friendly Software Loopback\n";
    const ResultCode noMemory = static_cast<ResultCode>(0x8007000E);
    const ResultCode noClass = static_cast<ResultCode>(0x80040154);
    const struct {
        const char* name; OsVersionRecord os; ResultCode init, read, code; std::wstring start; int uninitialized;
    } cases[] = {
        {"7", Os(6, 1), rc::Ok, rc::Ok, rc::Ok, networkLines + adapters, 1},
        {"already initialised", Os(6, 1), kComFalse, rc::Ok, rc::Ok, networkLines + adapters, 1},
        {"other apartment", Os(6, 1), kComChangedMode, rc::Ok, rc::Ok, networkLines + adapters, 0},
        {"init fails", Os(6, 1), noMemory, rc::Ok, noMemory, L"NLA networks:\n", 0},
        {"manager missing", Os(6, 0), rc::Ok, noClass, noClass, L"NLA networks:\n", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeNetworks networks;
        networks.initAnswer = c.init;
        networks.readAnswer = c.read;
        networks.networks = {network};
        FakeAdapters system;
        system.rows = {Loopback()};
        std::wstring text;
        EXPECT_EQ(DumpNetworkAreas(c.os, networks, system, system, text), c.code);
        EXPECT_EQ(text.substr(0, c.start.size()), c.start);
        EXPECT_EQ(text.find(L"Adapters:") != std::wstring::npos, c.code == rc::Ok);
        EXPECT_EQ(text.ends_with(L"\n\n\n"), c.code == rc::Ok);
        EXPECT_EQ(networks.uninitialized, c.uninitialized);
    }
}

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

// IPv4 addresses, 0.0.0.0 among them, and an empty one are in the adapter and mask texts.
TEST(NetTypes, AddressText) {
    const struct { IpAddress address; const wchar_t* text; } cases[] = {
        {V6({0, 0, 0, 0, 0, 0, 0, 1}), L"::1"},
        {V6({0, 0, 0, 0, 0, 0, 0, 0}), L"::"},
        {V6({0x2001, 0xdb8, 0, 0, 1, 0, 0, 1}), L"2001:db8::1:0:0:1"},  // first of equal runs
        {V6({0x2001, 0xdb8, 1, 0, 1, 1, 1, 1}), L"2001:db8:1::1:1:1:1"},  // a single zero group
        {V6({1, 0, 0, 2, 0, 0, 0, 3}), L"1:0:0:2::3"},                  // the longer run wins
        {V6({0xabcd, 1, 2, 3, 4, 5, 6, 0}), L"abcd:1:2:3:4:5:6::"},
    };
    for (const auto& c : cases) EXPECT_EQ(AddressText(c.address), c.text) << c.text;
}

// A 24-bit IPv4 and a 64-bit IPv6 mask are in the adapter texts.
TEST(NetTypes, MaskOfPrefixLength) {
    const struct { AddressFamily family; unsigned length; const wchar_t* text; } cases[] = {
        {AddressFamily::Ipv4, 0, L"0.0.0.0"}, {AddressFamily::Ipv4, 20, L"255.255.240.0"},
        {AddressFamily::Ipv4, 32, L"255.255.255.255"}, {AddressFamily::Ipv4, 99, L"255.255.255.255"},
        {AddressFamily::Ipv6, 0, L"::"}, {AddressFamily::Ipv6, 10, L"ffc0::"},
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
