#include "diag/system_information.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/time_fields.h"
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
    std::wstring name;
    std::uint32_t deviceError = 0;
    std::wstring device;
    std::vector<std::wstring> paths;
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

TEST(SystemInformation, LocalTimeCarriesTheSignOfTheZone) {
    const struct { std::int64_t offset; const wchar_t* line; } cases[] = {
        {5 * kTicksPerHour + 30 * kMinute, L"Sun, 06 Dec 2026 15:11:35 +0530"},
        {-(3 * kTicksPerHour + 30 * kMinute), L"Sun, 06 Dec 2026 06:11:35 -0330"},
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
        {"local service", {5, {19}}, true, L"x", nullptr, L"LOCAL SERVICE", 0},
        {"network service", {5, {20}}, true, L"x", nullptr, L"NETWORK SERVICE", 0},
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

TEST(SystemInformation, ComputerName) {
    const struct {
        const char* name; const wchar_t *cluster, *computer, *active, *registered; ResultCode code;
        const wchar_t* result;
    } cases[] = {
        {"cluster name first", L"CLUSTER", L"NODE", L"A", L"R", rc::Ok, L"CLUSTER"},
        {"environment", nullptr, L"NODE", L"A", L"R", rc::Ok, L"NODE"},
        {"active name", nullptr, nullptr, L"A", L"R", rc::Ok, L"A"},
        {"registered name", nullptr, nullptr, nullptr, L"R", rc::Ok, L"R"},
        {"neither value", nullptr, nullptr, nullptr, nullptr, rc::Ok, L"localhost"},
        {"no key", nullptr, nullptr, nullptr, nullptr, rc::RegistryKeyNotFound, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeAccounts accounts;
        if (c.cluster) accounts.environment[L"_CLUSTER_NETWORK_NAME_"] = c.cluster;
        if (c.computer) accounts.environment[L"COMPUTERNAME"] = c.computer;
        auto set = [&](const wchar_t* value, const wchar_t* data) {
            if (data) accounts.registry.Set(RegistryRoot::LocalMachine, kNameKey, value, data);
        };
        set(L"ActiveComputerName", c.active);
        set(L"ComputerName", c.registered);
        if (c.code == rc::Ok) accounts.registry.AddKey(RegistryRoot::LocalMachine, kNameKey);
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeVolumes volumes;
        volumes.volumes = c.volumes;
        volumes.endError = c.endError;
        test::FakeConsole console;
        std::wstring text;
        ASSERT_EQ(DumpVolumes(volumes, console, text), rc::Ok);
        int blocks = 0;
        for (std::size_t at = 0; (at = text.find(L"Found", at)) != std::wstring::npos; ++at) ++blocks;
        EXPECT_EQ(blocks, c.blocks);
        EXPECT_EQ(console.output, c.message);
    }
    FakeVolumes none;
    test::FakeConsole console;
    std::wstring text;
    EXPECT_EQ(DumpVolumes(none, console, text), rc::VolumeSearchFailed);
}

TEST(SystemInformation, MountPathListGrowsBoundedly) {
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
}

TEST(SystemInformation, StringListStopsAtItsEnd) {
    const wchar_t unterminated[] = {L'C', L':', L'\0', L'D', L':'};
    EXPECT_EQ(SplitStringList(unterminated, 5), (std::vector<std::wstring>{L"C:", L"D:"}));
    const wchar_t empty[] = {L'\0', L'X', L'\0'};
    EXPECT_TRUE(SplitStringList(empty, 3).empty());
}

}  // namespace
}  // namespace qor
