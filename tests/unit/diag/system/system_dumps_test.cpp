// The system information, process list and connection table dumps.
#include "diag/system/system_information.h"

#include <array>
#include <map>
#include <optional>

#include <gtest/gtest.h>

#include <new>

#include "common/time_fields.h"
#include "diag/network/connection_table.h"
#include "diag/system/process_list.h"
#include "fakes/fake_console.h"
#include "fakes/fake_registry.h"

namespace qor {
namespace {

// 2026-12-06 09:41:35.123 UTC, a Sunday.
constexpr std::int64_t kNow = 134410236951230000;
constexpr std::int64_t kMinute = kTicksPerMinute;
const wchar_t* const kNameKey = L"System\\CurrentControlSet\\Control\\ComputerName\\ComputerName";

class FakeAccounts final : public AccountSource {
public:
    ResultCode TokenUser(SidSummary& out) override {
        if (Succeeded(tokenCode)) out = sid;
        return tokenCode;
    }
    bool AccountLookupLoaded() override { return loaded; }
    ResultCode LookupAccountName(std::wstring& name) override {
        ++lookups;
        if (account) name = *account;
        return account ? rc::Ok : ResultFromWin32(1332);
    }
    ResultCode Environment(const std::wstring& name, std::wstring& value) override {
        const auto found = environment.find(name);
        if (found != environment.end()) value = found->second;
        return found == environment.end() ? rc::EnvironmentVariableNotSet : rc::Ok;
    }
    RegistryReader& Registry() override { return registry; }

    SidSummary sid{5, {21, 1, 2, 3, 1001}};
    ResultCode tokenCode = rc::Ok;
    bool loaded = true;
    std::optional<std::wstring> account = L"tech";
    std::map<std::wstring, std::wstring> environment;
    test::FakeRegistry registry;
    int lookups = 0;
};

struct FakeVolume {
    std::wstring name; std::uint32_t deviceError = 0; std::wstring device; std::vector<std::wstring> paths;
};

class FakeVolumes final : public VolumeSource {
public:
    std::uint32_t FindFirst(std::wstring& volume) override { next = 0; return FindNext(volume); }
    std::uint32_t FindNext(std::wstring& volume) override {
        if (next >= volumes.size()) return endError;
        volume = volumes[next++].name;
        return 0;
    }
    std::uint32_t DosDevice(const std::wstring& name, std::wstring& device) override {
        dosNames.push_back(name);
        if (!volumes[next - 1].deviceError) device = volumes[next - 1].device;
        return volumes[next - 1].deviceError;
    }
    std::uint32_t PathNames(const std::wstring& volume, std::vector<wchar_t>& buffer,
                            std::uint32_t& needed) override {
        pathBuffers.push_back(buffer.size());
        if (outOfMemory) throw std::bad_alloc();
        std::wstring list;
        for (const FakeVolume& v : volumes) {
            if (v.name == volume) for (const std::wstring& p : v.paths) list += p + L'\0';
        }
        list += L'\0';
        const std::size_t length = list.size() + growBy * pathBuffers.size();
        if (length > buffer.size()) {
            needed = static_cast<std::uint32_t>(length);
            return kErrorMoreData;
        }
        std::copy(list.begin(), list.end(), buffer.begin());
        return 0;
    }

    std::vector<FakeVolume> volumes;
    std::uint32_t endError = kErrorNoMoreFiles;
    std::size_t next = 0, growBy = 0;  // the list grows by `growBy` on every call
    bool outOfMemory = false;          // in the path list
    std::vector<std::wstring> dosNames;
    std::vector<std::size_t> pathBuffers;
};

// A clock in a zone `offset` east of universal time.
struct FakeClock final : SystemClock {
    explicit FakeClock(std::int64_t zone) : offset(zone) {}
    std::int64_t Now() override { return kNow; }
    ResultCode ToLocal(std::int64_t universal, std::int64_t& local) override {
        local = universal + offset;
        return rc::Ok;
    }
    ResultCode ToUniversal(std::int64_t local, std::int64_t& universal) override {
        universal = local - offset;
        return rc::Ok;
    }
    std::int64_t offset;
};

const FakeVolume kUnmounted{L"\\\\?\\Volume{1111}\\", 0, L"\\Device\\HarddiskVolume1", {}};
const FakeVolume kTwoPaths{L"\\\\?\\Volume{2222}\\", 0, L"\\Device\\HarddiskVolume2",
                           {L"C:\\", L"D:\\mnt\\data\\"}};

TEST(SystemInformation, WholeDump) {
    const OsVersionRecord os{.filled = true, .processorClass = ProcessorClass::Amd64,
                             .displayName = L"Windows 7 Professional Service Pack 1",
                             .numberOfProcessors = 4};
    FakeAccounts accounts;
    accounts.environment[L"COMPUTERNAME"] = L"WINEHOST";
    FakeVolumes volumes;
    volumes.volumes = {kUnmounted, kTwoPaths};
    FakeClock clock(5 * kTicksPerHour + 30 * kMinute);
    test::FakeConsole console;
    SystemSources sources{accounts, volumes, clock, console};
    std::wstring text;
    ASSERT_EQ(DumpSystemInformation(os, sources, text), rc::Ok);
    EXPECT_EQ(text,
              L"Windows 7 Professional Service Pack 1\n"
              L"Platform AMD64, CPUs 4\n"
              L"User tech, Computer WINEHOST\n\n"
              L"\nFound a device: \\Device\\HarddiskVolume1\nVolume name: \\\\?\\Volume{1111}\\"
              L"\nPaths:"
              L"\nFound a device: \\Device\\HarddiskVolume2\nVolume name: \\\\?\\Volume{2222}\\"
              L"\nPaths:C:\\\nD:\\mnt\\data\\\n"
              L"\n\n"
              L"Local time: Sun, 06 Dec 2026 15:11:35 +0530\n"
              L"System time: 2026-12-06 09:41:35,123\n");
    EXPECT_EQ(volumes.dosNames, (std::vector<std::wstring>{L"Volume{1111}", L"Volume{2222}"}));
    EXPECT_EQ(console.output, L"");
}

// A zone east is in the whole dump.
TEST(SystemInformation, LocalTimeCarriesTheSignOfTheZone) {
    const struct { std::int64_t offset; const wchar_t* line; } cases[] = {
        {-30 * kMinute, L"Sun, 06 Dec 2026 09:11:35 -0030"},
        {0, L"Sun, 06 Dec 2026 09:41:35 +0000"},
        {-10 * kTicksPerHour, L"Sat, 05 Dec 2026 23:41:35 -1000"},
    };
    for (const auto& c : cases) {
        std::wstring line;
        ASSERT_EQ(FormatLocalTime(kNow + c.offset, c.offset, line), rc::Ok);
        EXPECT_EQ(line, c.line);
    }
    std::wstring untouched = L"kept";
    EXPECT_NE(FormatLocalTime(0, 0, untouched), rc::Ok);  // before 1970
    EXPECT_NE(FormatUniversalTime(kNoSystemTime, untouched), rc::Ok);
    EXPECT_EQ(untouched, L"kept");
}

TEST(SystemInformation, UserName) {
    const struct {
        const char* name; SidSummary sid; bool loaded; std::optional<std::wstring> account;
        const wchar_t *environment, *user; int lookups;
    } cases[] = {
        {"system", {5, {18}}, true, L"x", nullptr, L"SYSTEM", 0},
        {"18 with more parts", {5, {18, 1}}, true, L"acct", nullptr, L"acct", 1},
        {"18 of another authority", {1, {18}}, true, L"acct", nullptr, L"acct", 1},
        {"lookup fails", {5, {21, 1}}, true, std::nullopt, L"envuser", L"envuser", 1},
        {"account lookup not loaded", {5, {21, 1}}, false, L"acct", L"envuser", L"envuser", 0},
        {"nothing known", {5, {21, 1}}, true, std::nullopt, nullptr, L"", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeAccounts accounts;
        accounts.sid = c.sid;
        accounts.loaded = c.loaded;
        accounts.account = c.account;
        if (c.environment) accounts.environment[L"USERNAME"] = c.environment;
        std::wstring user = L"stale";
        ASSERT_EQ(LookupUserName(accounts, user), rc::Ok);
        EXPECT_EQ(user, c.user);
        EXPECT_EQ(accounts.lookups, c.lookups);
    }
    FakeAccounts denied;
    denied.tokenCode = ResultFromWin32(5);
    std::wstring user;
    EXPECT_EQ(LookupUserName(denied, user), ResultFromWin32(5));
}

// The name from the environment is checked end to end.
TEST(SystemInformation, ComputerName) {
    const struct {
        const char* name; const wchar_t *cluster, *computer, *active, *registered; ResultCode code;
        const wchar_t* result;
    } cases[] = {
        {"cluster name first", L"CLUSTER", L"NODE", L"A", L"R", rc::Ok, L"CLUSTER"},
        {"active name", nullptr, nullptr, L"A", L"R", rc::Ok, L"A"},
        {"registered name", nullptr, nullptr, nullptr, L"R", rc::Ok, L"R"},
        {"active name unreadable", nullptr, nullptr, nullptr, L"R", rc::Ok, L"R"},
        {"neither value", nullptr, nullptr, nullptr, nullptr, rc::Ok, L"localhost"},
        {"no key", nullptr, nullptr, nullptr, nullptr, rc::RegistryKeyNotFound, L""},
        {"key not opened", nullptr, nullptr, nullptr, nullptr, ResultFromWin32(5), L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeAccounts accounts;
        if (c.cluster) accounts.environment[L"_CLUSTER_NETWORK_NAME_"] = c.cluster;
        if (c.computer) accounts.environment[L"COMPUTERNAME"] = c.computer;
        test::FakeRegistry& registry = accounts.registry;
        if (c.active) registry.Set(RegistryRoot::LocalMachine, kNameKey, L"ActiveComputerName", c.active);
        if (c.registered) registry.Set(RegistryRoot::LocalMachine, kNameKey, L"ComputerName", c.registered);
        if (c.code == rc::Ok) accounts.registry.AddKey(RegistryRoot::LocalMachine, kNameKey);
        if (std::string_view(c.name) == "active name unreadable") {
            registry.FailValue(RegistryRoot::LocalMachine, kNameKey, L"ActiveComputerName",
                               ResultFromWin32(5));
        }
        if (c.code == ResultFromWin32(5)) registry.FailKey(RegistryRoot::LocalMachine, kNameKey, c.code);
        std::wstring name;
        EXPECT_EQ(LookupComputerName(accounts, name), c.code);
        if (c.code == rc::Ok) {
            EXPECT_EQ(name, c.result);
        }
    }
}

TEST(SystemInformation, VolumeWalkStopsWithItsMessages) {
    FakeVolume bad = kTwoPaths;
    bad.name = L"\\\\?\\Volume{3333}";  // no trailing backslash
    FakeVolume noDevice = kTwoPaths;
    noDevice.deviceError = 2;
    const struct {
        const char* name; std::vector<FakeVolume> volumes; std::uint32_t endError; int blocks;
        const wchar_t* message;
    } cases[] = {
        {"bad name", {kUnmounted, bad, kTwoPaths}, kErrorNoMoreFiles, 1,
         L"FindFirstVolumeW/FindNextVolumeW returned a bad path: \\\\?\\Volume{3333}\n"},
        {"device query fails", {noDevice, kUnmounted}, kErrorNoMoreFiles, 0,
         L"QueryDosDeviceW failed with error code 2\n"},
        {"search fails", {kUnmounted}, 21, 1, L"FindNextVolumeW failed with error code 21\n"},
        {"no volume at all", {}, kErrorNoMoreFiles, 0, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeVolumes volumes;
        volumes.volumes = c.volumes;
        volumes.endError = c.endError;
        test::FakeConsole console;
        std::wstring text;
        ASSERT_EQ(DumpVolumes(volumes, console, text), c.volumes.empty() ? rc::VolumeSearchFailed : rc::Ok);
        int blocks = 0;
        for (std::size_t at = 0; (at = text.find(L"Found", at)) != std::wstring::npos; ++at) ++blocks;
        EXPECT_EQ(blocks, c.blocks);
        EXPECT_EQ(console.output, c.message);
    }
}

TEST(SystemInformation, RunningOutOfMemoryForMountPathsEndsTheWalkWithItsCode) {
    FakeVolumes volumes;
    volumes.volumes = {kTwoPaths, kUnmounted};
    volumes.outOfMemory = true;
    test::FakeConsole console;
    std::wstring text;
    EXPECT_EQ(DumpVolumes(volumes, console, text), rc::OutOfMemory);
    EXPECT_EQ(volumes.dosNames.size(), 1u);
}

TEST(SystemInformation, MountPathListGrowsBoundedlyAndStopsAtItsEnd) {
    FakeVolume many = kTwoPaths;
    for (int i = 0; i < 40; ++i) many.paths.push_back(L"E:\\mount\\" + std::to_wstring(i) + L"\\");
    FakeVolumes volumes;
    volumes.volumes = {many};
    std::wstring text;
    ASSERT_EQ(AppendVolumePaths(volumes, many.name, text), rc::Ok);
    ASSERT_EQ(volumes.pathBuffers.size(), 2u);
    EXPECT_EQ(volumes.pathBuffers[0], 261u);
    std::wstring expected;
    for (const std::wstring& path : many.paths) expected += path + L"\n";
    EXPECT_EQ(text, expected);

    volumes.growBy = 1;  // the list never fits: nothing appended
    volumes.pathBuffers.clear();
    std::wstring none;
    ASSERT_EQ(AppendVolumePaths(volumes, many.name, none), rc::Ok);
    EXPECT_EQ(none, L"");
    EXPECT_EQ(volumes.pathBuffers.size(), static_cast<std::size_t>(kMaxVolumePathReads));

    // The list stops at its end even without its last terminators.
    const wchar_t unterminated[] = {L'C', L':', L'\0', L'D', L':'};
    EXPECT_EQ(SplitStringList(unterminated, 5), (std::vector<std::wstring>{L"C:", L"D:"}));
    const wchar_t empty[] = {L'\0', L'X', L'\0'};
    EXPECT_TRUE(SplitStringList(empty, 3).empty());
}

// What one process answers; nullopt for a failing query.
struct FakeProcess {
    bool opens = true;
    std::optional<std::wstring> moduleFile, imageFile, baseName, nativeName, win32Name;
};

struct FakeImage final : ProcessImage {
    explicit FakeImage(const FakeProcess& process) : p(process) {}
    static bool Give(const std::optional<std::wstring>& name, std::wstring& out) {
        if (name) out = *name;
        return name.has_value();
    }
    bool ModuleFileName(std::wstring& out) noexcept override { return Give(p.moduleFile, out); }
    bool ImageFileName(std::wstring& out) noexcept override { return Give(p.imageFile, out); }
    bool ModuleBaseName(std::wstring& out) noexcept override { return Give(p.baseName, out); }
    bool FullImageName(bool native, std::wstring& out) noexcept override {
        return Give(native ? p.nativeName : p.win32Name, out);
    }
    const FakeProcess& p;
};

class FakeProcesses final : public ProcessQueries {
public:
    ResultCode Enumerate(std::span<std::uint32_t> ids, std::size_t& count) noexcept override {
        sizesAsked.push_back(ids.size());
        if (Failed(enumerateCode)) return enumerateCode;
        count = std::min(ids.size(), running.size());
        std::copy_n(running.begin(), count, ids.begin());
        return rc::Ok;
    }
    std::unique_ptr<ProcessImage> Open(std::uint32_t id) noexcept override {
        opened.push_back(id);
        const auto found = processes.find(id);
        if (found == processes.end() || !found->second.opens) return nullptr;
        return std::make_unique<FakeImage>(found->second);
    }
    bool HasImageFileName() const noexcept override { return imageFileName; }
    bool HasFullImageName() const noexcept override { return fullImageName; }

    std::vector<std::uint32_t> running, opened;
    std::map<std::uint32_t, FakeProcess> processes;
    bool imageFileName = true, fullImageName = true;
    ResultCode enumerateCode = rc::Ok;
    std::vector<std::size_t> sizesAsked;
};

std::wstring Record(const wchar_t* id, const std::vector<std::wstring>& f) {
    return std::wstring(id) + L":\n----------\n" + f[0] + L"\n" + f[1] + L"\n" + f[2] + L"\n" +
           f[3] + L"\n" + f[4] + L"\n===========\n\n";
}

const std::vector<std::wstring> kSystem{L"SYSTEM", L"", L"", L"", L""};
const FakeProcess kAllNames{true, L"C:\\a\\app.exe", L"\\Device\\HarddiskVolume1\\a\\app.exe",
                            L"app.exe", L"\\Device\\HarddiskVolume1\\a\\app.exe",
                            L"C:\\a\\app.exe"};

// System identifiers are named without opening, 0 is left out, large ones print signed.
TEST(ProcessList, RecordsFollowTheEnumeration) {
    FakeProcesses system;
    system.running = {0, 4, 900, 8, 12, 0xFFFFFFFCu};
    std::wstring text;
    ASSERT_EQ(DumpProcessList(system, text), rc::Ok);
    const std::vector<std::wstring> unknown(5, L"<unknown>");
    EXPECT_EQ(text, Record(L"4", kSystem) + Record(L"900", unknown) + Record(L"8", kSystem) +
                        Record(L"12", unknown) + Record(L"-4", unknown));
    EXPECT_EQ(system.opened, (std::vector<std::uint32_t>{900, 12, 0xFFFFFFFCu}));
}

// A process answering every query is checked end to end.
TEST(ProcessList, EachFieldHasItsOwnFailureValue) {
    const std::wstring u = L"<unknown>";
    const std::wstring module = *kAllNames.moduleFile, image = *kAllNames.imageFile;
    struct Case {
        const char* name; FakeProcess process; bool imageFileName, fullImageName; std::vector<std::wstring> fields;
    } cases[] = {
        {"cannot be opened", {false, {}, {}, {}, {}, {}}, true, true, {u, u, u, u, u}},
        {"every query fails", {true, {}, {}, {}, {}, {}}, true, true, {u, u, L"", L"", L""}},
        {"empty answers count as failures", {true, L"", L"", L"", L"", L""}, true, true,
         {u, u, L"", L"", L""}},
        {"before 6.0", kAllNames, true, false, {module, image, L"app.exe", L"", L""}},
        {"before 5.1", kAllNames, false, false, {module, L"", L"app.exe", L"", L""}},
        {"only the native name fails",
         {true, L"C:\\a.exe", L"\\D\\a.exe", L"a.exe", std::nullopt, L"C:\\a.exe"}, true, true,
         {L"C:\\a.exe", L"\\D\\a.exe", L"a.exe", L"", L"C:\\a.exe"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeProcesses system;
        system.running = {1234};
        system.processes[1234] = c.process;
        system.imageFileName = c.imageFileName;
        system.fullImageName = c.fullImageName;
        std::wstring text;
        ASSERT_EQ(DumpProcessList(system, text), rc::Ok);
        EXPECT_EQ(text, Record(L"1234", c.fields));
    }
}

TEST(ProcessList, IdentifierArrayGrowsPastAThousandProcesses) {
    FakeProcesses system;
    for (std::uint32_t id = 1; id <= 2500; ++id) system.running.push_back(id * 4 + 8);
    std::wstring text;
    ASSERT_EQ(DumpProcessList(system, text), rc::Ok);
    EXPECT_EQ(system.sizesAsked, (std::vector<std::size_t>{1024, 2048, 4096}));
    EXPECT_EQ(system.opened.size(), 2500u);
}

TEST(ProcessList, EndlessEnumerationStopsAtTheBoundAndFailureLeavesTheText) {
    FakeProcesses system;
    system.running.assign(kMaxProcessIdCount + 1, 0);
    system.running[5] = 4;
    std::wstring text;
    EXPECT_EQ(DumpProcessList(system, text), rc::BufferTooSmall);
    EXPECT_EQ(system.sizesAsked.back(), kMaxProcessIdCount);
    EXPECT_EQ(text, Record(L"4", kSystem));

    system.enumerateCode = ResultFromWin32(5);
    EXPECT_EQ(DumpProcessList(system, text), ResultFromWin32(5));
    EXPECT_EQ(text, Record(L"4", kSystem));
}

using Bytes = std::vector<std::uint8_t>;
using V6 = std::array<std::uint8_t, 16>;

// A table as the IP helper lays it out: the row count, then the rows.
class TableBuilder {
public:
    TableBuilder& Dword(std::uint32_t v) { return Put({Byte(v), Byte(v >> 8), Byte(v >> 16), Byte(v >> 24)}); }
    TableBuilder& V4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) { return Put({a, b, c, d}); }
    TableBuilder& Addr6(const V6& v) { return Put(v); }
    // The low 16 bits of the field in network order, the rest left as the system may.
    TableBuilder& Port(std::uint16_t port) { return Put({Byte(port >> 8), Byte(port), 0xAB, 0xCD}); }
    Bytes Table(std::uint32_t rows) const {
        Bytes table = TableBuilder().Dword(rows).bytes_;
        table.insert(table.end(), bytes_.begin(), bytes_.end());
        return table;
    }

private:
    static std::uint8_t Byte(std::uint32_t v) { return static_cast<std::uint8_t>(v); }
    template <typename Range> TableBuilder& Put(const Range& bytes) {
        bytes_.insert(bytes_.end(), std::begin(bytes), std::end(bytes));
        return *this;
    }
    TableBuilder& Put(std::initializer_list<std::uint8_t> bytes) { return Put<decltype(bytes)>(bytes); }
    Bytes bytes_;
};

V6 Groups(std::array<std::uint16_t, 8> groups) {
    V6 v{};
    for (std::size_t i = 0; i < 16; ++i) v[i] = (groups[i / 2] >> (i % 2 ? 0 : 8)) & 0xFF;
    return v;
}

// "::", "::1" and a link-local address are in the records below.
TEST(ConnectionTable, AddressTexts) {
    const struct { std::array<std::uint16_t, 8> groups; const wchar_t* text; } v6[] = {
        {{0x2001, 0x0db8, 0, 0, 0, 0, 0, 1}, L"2001:0db8::1"},
        {{1, 0, 2, 0, 3, 0, 4, 0}, L"1::2:0:3:0:4:0"},
        {{1, 0, 0, 2, 0, 0, 0, 3}, L"1:0:0:2::3"},        // the longer run, not the first
        {{1, 0, 0, 2, 0, 0, 3, 4}, L"1::2:0:0:3:4"},      // the first of equal runs
        {{0xabcd, 0x00ff, 0x0100, 0x1, 0x10, 0xffff, 0x0a0a, 0x7}, L"abcd:ff:0100:1:10:ffff:0a0a:7"},
        {{1, 2, 3, 4, 5, 6, 7, 0}, L"1:2:3:4:5:6:7::"},
        {{0, 0, 0, 0, 0, 0xffff, 0xc000, 0x0280}, L"::ffff:c000:0280"},  // no dotted quad
    };
    for (const auto& c : v6) EXPECT_EQ(Ipv6AddressText(Groups(c.groups)), c.text);

    EXPECT_EQ(Ipv4AddressText(std::array<std::uint8_t, 4>{255, 255, 255, 255}), L"255.255.255.255");
}

// Listeners of both kinds are in the next test; the IPv4 one is also checked end to end.
TEST(ConnectionTable, RecordsOfEachTable) {
    const V6 loopback = Groups({0, 0, 0, 0, 0, 0, 0, 1});
    const V6 link = Groups({0xfe80, 0, 0, 0, 0x020c, 0x29ff, 0xfe12, 0x3456});
    const struct { const char* name; ConnectionTable table; Bytes bytes; const wchar_t* text; } cases[] = {
        {"state 0 and above 12 left out", ConnectionTable::Tcp4,
         TableBuilder()
             .Dword(0).V4(10, 0, 0, 1).Port(1).V4(10, 0, 0, 2).Port(2).Dword(7)
             .Dword(13).V4(10, 0, 0, 1).Port(1).V4(10, 0, 0, 2).Port(2).Dword(8)
             .Dword(12).V4(127, 0, 0, 1).Port(65535).V4(127, 0, 0, 1).Port(49152).Dword(9)
             .Table(3),
         L"#7 @0 (0)\n10.0.0.1 : 1\n10.0.0.2 : 2\n\n"
         L"#9 @MIB_TCP_STATE_DELETE_TCB (12)\n127.0.0.1 : 65535\n127.0.0.1 : 49152\n\n"},
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

TEST(ConnectionTable, FourTablesInOrderGrowingAndFailingOnesSkippedAlone) {
    FakeTables reader;
    reader.tables[ConnectionTable::Tcp4] = TableBuilder()
        .Dword(2).V4(0, 0, 0, 0).Port(445).V4(0, 0, 0, 0).Port(0).Dword(4).Table(1);
    reader.tables[ConnectionTable::Tcp6] = TableBuilder()
        .Addr6(V6{}).Dword(0).Port(135).Addr6(V6{}).Dword(0).Port(0).Dword(2).Dword(40).Table(1);
    TableBuilder udp4;
    for (int i = 0; i < 200; ++i) udp4.V4(10, 0, 0, 1).Port(7).Dword(77);
    reader.tables[ConnectionTable::Udp4] = udp4.Table(200);  // 2404 bytes: read twice
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

// The connection tables and the optional process queries by system version.
TEST(SystemDumps, OptionalPartsFollowTheSystemVersion) {
    const ProcessorClass x86 = ProcessorClass::X86, x64 = ProcessorClass::Amd64;
    const struct {
        bool filled; std::uint32_t major, minor; ProcessorClass cpu;
        std::uint8_t productType, servicePack; bool tables, imageFileName, fullImageName;
    } cases[] = {
        {false, 10, 0, x86, 1, 0, false, false, false},
        {true, 6, 0, x86, 1, 0, true, true, true},
        {true, 5, 1, x86, 1, 1, false, true, false},  // XP SP1
        {true, 5, 1, x86, 1, 2, true, true, false},
        {true, 5, 2, x64, 1, 0, false, true, false},  // XP x64 without a service pack
        {true, 5, 2, x64, 1, 1, true, true, false},
        {true, 5, 2, x86, 3, 0, false, true, false},  // Server 2003
        {true, 5, 2, x86, 3, 1, true, true, false},
        {true, 5, 0, x86, 1, 4, false, false, false},  // 2000
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.major << "." << c.minor << " sp" << int{c.servicePack});
        const OsVersionRecord os{.filled = c.filled, .majorVersion = c.major,
                                 .minorVersion = c.minor, .processorClass = c.cpu,
                                 .productType = c.productType,
                                 .servicePackMajor = c.servicePack, .displayName = {}};
        EXPECT_EQ(ConnectionTablesAvailable(os), c.tables);
        const OptionalProcessQueries optional = OptionalProcessQueriesFor(os);
        EXPECT_EQ(optional.imageFileName, c.imageFileName);
        EXPECT_EQ(optional.fullImageName, c.fullImageName);
    }
}

}  // namespace
}  // namespace qor
