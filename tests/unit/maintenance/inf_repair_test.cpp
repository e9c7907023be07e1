#include "maintenance/inf_repair.h"
#include "maintenance/ndis_installer.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/fake_console.h"
#include "fakes/fake_driver_registry.h"
#include "fakes/fake_install_sources.h"
#include "maintenance/tdi_driver_order.h"
#include "platform/fs.h"

namespace qor::test {

// Each start is recorded and answers the scripted outcome of the next child.
class FakeProgramStarter final : public ProgramStarter {
public:
    struct Script {
        ResultCode start = rc::Ok;
        ResultCode wait = rc::Ok;
        bool ended = true;
        ResultCode query = rc::Ok;
        std::uint32_t exitStatus = 0;
    };

    ResultCode Start(const std::wstring& program, const std::wstring& commandLine,
                     std::unique_ptr<ChildProcess>& child) noexcept override {
        programs.push_back(program);
        commandLines.push_back(commandLine);
        const Script s = scripts.empty() ? Script{} : scripts.front();
        if (!scripts.empty()) scripts.erase(scripts.begin());
        if (Failed(s.start)) return s.start;
        child = std::make_unique<Child>(s, closed);
        return rc::Ok;
    }

    std::vector<Script> scripts;
    std::vector<std::wstring> programs, commandLines;
    int closed = 0;

private:
    struct Child final : ChildProcess {
        Child(Script script, int& count) : s(script), closed(count) {}
        ~Child() override { ++closed; }
        ResultCode Wait(bool& ended) noexcept override {
            if (Succeeded(s.wait)) ended = s.ended;
            return s.wait;
        }
        ResultCode QueryExitStatus(std::uint32_t& status) noexcept override {
            if (Succeeded(s.query)) status = s.exitStatus;
            return s.query;
        }
        Script s;
        int& closed;
    };
};

}  // namespace qor::test

namespace qor {
namespace {

const std::wstring kDrivers = L"C:\\PF\\QOR\\Drivers";
const ResultCode kDenied = SuiteError(0x58);

struct FakeRepairSystem final : InfRepairSystem {
    ResultCode FileAttributes(const std::wstring& path, std::uint32_t& attributes) override {
        if (!files.count(path)) return rc::FileNotFound;
        attributes = fs::attr::Archive;
        return rc::Ok;
    }
    ResultCode WindowsDirectory(std::wstring& out) override { out = L"C:\\WINDOWS"; return rc::Ok; }
    ResultCode ExpandEnvironment(const std::wstring& text, std::wstring& out) override {
        out = text;
        if (const auto at = out.find(L"%ProgramFiles%"); at != std::wstring::npos) {
            out.replace(at, 14, L"C:\\PF");
        }
        return rc::Ok;
    }
    ResultCode DeleteFile(const std::wstring& path, bool openReparsePoint) override {
        deleteCalls.push_back(path + (openReparsePoint ? L" +reparse" : L""));
        if (openReparsePoint && refuseReparseOption) return SuiteError(0x02);
        if (deleteAnswers.count(path)) return deleteAnswers[path];
        return files.erase(path) ? rc::Ok : rc::FileNotFound;
    }
    ResultCode AcquireDriverChangePermission() override {
        if (Succeeded(permission)) ++held;
        return permission;
    }
    void ReleaseDriverChangePermission() override { --held; }

    std::set<std::wstring> files;
    std::map<std::wstring, ResultCode> deleteAnswers;
    bool refuseReparseOption = false;
    std::vector<std::wstring> deleteCalls;
    ResultCode permission = rc::Ok;
    int held = 0;
};

// The suite on a 32-bit Windows XP, ready to be repaired.
struct RepairBench {
    RepairBench() {
        sources.InstallSuite(L"C:\\PF\\QOR");
        for (const wchar_t* name : {L"qorfw_m.inf", L"qorfwfd.inf", L"qorfwfd.cat", L"qorfwdx.dll",
                                    L"qorfwdx.sys"}) {
            system.files.insert(kDrivers + L"\\" + name);
        }
        system.files.insert(L"C:\\WINDOWS\\inf\\INFCACHE.1");
        SetDevicePath(L"%SystemRoot%\\inf");
        registry.AddKey(std::wstring(kServicesKey) + L"\\Qorfwdx");
        registry.AddKey(std::wstring(kServicesKey) + L"\\Tcpip");
        registry.SetValue(kGroupOrderListKey, kTdiGroup, {reg_type::Binary, {1, 0, 0, 0, 3, 0, 0, 0}, {}});
    }
    ResultCode Repair() {
        InfRepairDependencies deps{console, os, installation, reader, registry, starter, system};
        return RepairInfCache(deps);
    }
    void SetDevicePath(const std::wstring& text) {
        reader.Set(RegistryRoot::LocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                   L"DevicePath", text);
    }

    test::FakeConsole console;
    OsVersionRecord os{.filled = true, .majorVersion = 5, .minorVersion = 1, .productType = 1, .displayName = {}};
    test::FakeInstallSources sources;
    ProductInstallation installation{sources};
    test::FakeRegistry reader;
    test::FakeDriverRegistry registry;
    test::FakeProgramStarter starter;
    FakeRepairSystem system;
};

// The whole run, a later Windows, a missing driver file and the installer's exit codes are
// checked byte for byte end to end (test_inf_repair.py); here how the other outcomes end it.
TEST(InfRepair, EachOutcomeEndsTheRunWithItsCode) {
    struct Case {
        const char* what; std::function<void(RepairBench&)> arrange; ResultCode result;
        std::wstring lastLines; int starts;
    } cases[] = {
        {"exit code one, ordering fails",
         [](RepairBench& t) {
             t.starter.scripts = {{.exitStatus = 1}, {.exitStatus = 1}};
             t.registry.SetValue(kGroupOrderListKey, kTdiGroup, {reg_type::Dword, {1, 0, 0, 0}, {}});
         },
         0, L"Installing NDIS driver...Process terminated with an error. ok.\nChecking NDIS service...ok.\n"
            L"Ordering drivers...failed.\nSECOND REBOOT MIGHT BE REQUIRED AFTER FIRST REBOOT.\n", 2},
        {"no suite", [](RepairBench& t) { t.sources.registry = {}; }, rc::RegistryKeyNotFound,
         L"Checking QOR directory...failed.\n", 0},
        {"no processor letter", [](RepairBench& t) { t.os.processorClass = ProcessorClass::Ia64; t.os.productType = 3; t.os.minorVersion = 2; },
         rc::DirectoryKindOutOfRange, L"Checking driver installation files...failed.\n", 0},
        {"protection refuses", [](RepairBench& t) { t.system.permission = kDenied; }, kDenied,
         L"Preparing QOR environment...failed. [Check digital signature of QorFwDiag.]\n", 0},
        {"cache not deletable", [](RepairBench& t) { t.system.deleteAnswers[L"C:\\WINDOWS\\inf\\INFCACHE.1"] = kDenied; },
         kDenied, L"Removing damaged INF cache...failed.\n", 1},
        {"service missing", [](RepairBench& t) { t.registry = {}; }, rc::FileNotFound,
         L"Checking NDIS service...failed.\n", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RepairBench t;
        c.arrange(t);
        EXPECT_EQ(t.Repair(), c.result);
        EXPECT_TRUE(t.console.output.ends_with(c.lastLines)) << t.console.output;
        EXPECT_EQ(t.starter.programs.size(), static_cast<std::size_t>(c.starts));
        EXPECT_EQ(t.system.held, 0);
    }
}

TEST(InfRepair, CachesAreDeletedInEveryDevicePathDirectory) {
    RepairBench b;
    struct Case { std::wstring devicePath; std::vector<std::wstring> deleted; } cases[] = {
        {L"C:\\A;C:\\B\\", {L"C:\\A\\INFCACHE.1", L"C:\\B\\INFCACHE.1"}},
        {L"", {L"C:\\WINDOWS\\inf\\INFCACHE.1"}},
        {L";;", {L"C:\\WINDOWS\\inf\\INFCACHE.1"}},
        {L";C:\\A;;C:\\B;", {L"C:\\A\\INFCACHE.1", L"C:\\B\\INFCACHE.1"}},
        // The system's Windows folder, whatever the environment says; others still expand.
        {L"%SYSTEMROOT%\\inf;%ProgramFiles%\\x",
         {L"C:\\WINDOWS\\inf\\INFCACHE.1", L"C:\\PF\\x\\INFCACHE.1"}},
    };
    for (const Case& c : cases) {
        FakeRepairSystem fresh;  // "C:\A\INFCACHE.1" exists, the others do not
        fresh.files.insert(L"C:\\A\\INFCACHE.1");
        fresh.refuseReparseOption = true;
        b.SetDevicePath(c.devicePath);
        EXPECT_EQ(RemoveInfCaches(fresh, b.reader), 0) << c.devicePath.size();
        std::vector<std::wstring> calls;
        for (const std::wstring& path : c.deleted) calls.insert(calls.end(), {path + L" +reparse", path});
        EXPECT_EQ(fresh.deleteCalls, calls);
        EXPECT_EQ(fresh.files.empty(), c.deleted.front() == L"C:\\A\\INFCACHE.1");
    }
    // A failure stops the step; what was deleted stays deleted.
    b.system.files = {L"C:\\A\\INFCACHE.1", L"C:\\C\\INFCACHE.1"};
    b.system.deleteAnswers[L"C:\\B\\INFCACHE.1"] = kDenied;
    b.SetDevicePath(L"C:\\A;C:\\B;C:\\C");
    EXPECT_EQ(RemoveInfCaches(b.system, b.reader), kDenied);
    EXPECT_EQ(b.system.files, (std::set<std::wstring>{L"C:\\C\\INFCACHE.1"}));
}

// The installer run alone, on a 64-bit system.
class NdisInstallerTest : public ::testing::Test, protected RepairBench {
protected:
    NdisInstallerTest() { os.processorClass = ProcessorClass::Amd64; }
    ResultCode Run(std::uint32_t operation) {
        NdisInstallerContext context{console, os, installation, starter};
        return RunNdisInstaller(context, operation, reboot);
    }
    std::uint32_t reboot = 7;
};

TEST_F(NdisInstallerTest, EachOutcomeGivesVerdictResultAndRebootFlag) {
    const std::wstring kOk = L"NDIS operation OK. ", kError = L"Process terminated with an error. ";
    struct Case {
        test::FakeProgramStarter::Script script; ResultCode result; std::uint32_t reboot; std::wstring verdict;
    } cases[] = {
        {{.exitStatus = 0}, 0, 0, kOk},
        {{.exitStatus = 0x60018D39u}, 0, 1, kOk},
        {{.exitStatus = 259}, kNdisStillActive, 7, kError},
        {{.start = rc::FileNotFound}, rc::FileNotFound, 7, L"NDIS operation has failed. "},
        {{.wait = kDenied}, kDenied, 7, L"Wait operation failed. "},
        {{.ended = false}, kNdisWaitAborted, 7, L"Wait terminated unexpectedly. "},
        {{.query = rc::BufferTooSmall}, rc::BufferTooSmall, 7, L"Process terminated but cannot get the error. "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.verdict);
        reboot = 7;
        console.output.clear();
        starter.scripts = {c.script};
        EXPECT_EQ(Run(ndis_op::Uninstall), c.result);
        EXPECT_EQ(reboot, c.reboot);
        EXPECT_EQ(console.output, c.verdict);
    }
    EXPECT_EQ(starter.closed, 6);  // every child that started

    // No suite, or an unknown operation: nothing printed, nothing started.
    console.output.clear();
    EXPECT_EQ(Run(4), SuiteError(0x02));
    sources.registry = {};
    EXPECT_EQ(Run(ndis_op::Install), rc::RegistryKeyNotFound);
    EXPECT_EQ(console.output, L"");
    EXPECT_EQ(starter.programs.size(), 7u);
}

// The x86 and x64 installers' /Uninstall and /Install runs are checked end to end.
TEST_F(NdisInstallerTest, ProgramPathAndSwitches) {
    sources.InstallSuite(L"C:\\PF\\QOR\\");
    os.processorClass = ProcessorClass::X86;
    ASSERT_EQ(Run(ndis_op::Reinstall), 0);
    os.processorClass = ProcessorClass::Ia64;
    ASSERT_EQ(Run(ndis_op::Install), 0);
    EXPECT_EQ(starter.programs,
              (std::vector<std::wstring>{L"C:\\PF\\QOR\\qorndisx.exe", L"C:\\PF\\QOR\\qorndis.exe"}));
    EXPECT_EQ(starter.commandLines,
              (std::vector<std::wstring>{L"C:\\PF\\QOR\\qorndisx.exe /Reinstall",
                                         L"C:\\PF\\QOR\\qorndis.exe /Install"}));
}

}  // namespace
}  // namespace qor
