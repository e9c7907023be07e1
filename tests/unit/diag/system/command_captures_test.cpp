#include "diag/system/command_captures.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "diag/network/active_connections.h"
#include "support/test_env.h"

namespace qor {
namespace {

const std::wstring kSystem = L"C:\\S";

// Records each start; the commands listed in `failing` fail.
class RecordingLauncher final : public CommandLauncher {
public:
    ResultCode Detached(const std::wstring& line) noexcept override { return Record(L"detached", line); }
    ResultCode AndWait(const std::wstring& line) noexcept override { return Record(L"wait", line); }
    ResultCode Capture(const std::wstring& line, const std::wstring& output) noexcept override {
        return Record(L"capture", line + L" => " + output);
    }
    std::vector<std::wstring> started, failing;

private:
    ResultCode Record(const std::wstring& how, const std::wstring& what) {
        started.push_back(how + L": " + what);
        for (std::size_t i = 0; i < failing.size(); ++i) {
            if (what.find(failing[i]) == 0) return SuiteError(static_cast<std::uint16_t>(0x3D + i));
        }
        return rc::Ok;
    }
};

using Lines = std::vector<std::wstring>;

TEST(RegistryExports, FileNamesByViewAndQuotedPaths) {
    RecordingLauncher launcher;
    const std::wstring work = L"C:\\W x\\";
    const CaptureTarget target{launcher, work, kSystem};
    EXPECT_EQ(DumpRegistryLsp(target), 0);
    EXPECT_EQ(DumpRegistryUninstall(target, false), 0);
    EXPECT_EQ(DumpRegistryUninstall(target, true), 0);
    EXPECT_EQ(DumpRegistryVendor(target, true), 0);
    EXPECT_EQ(DumpRegistryProduct(target, false), 0);
    EXPECT_EQ(DumpRegistryProduct(target, true), 0);
    EXPECT_EQ(DumpRegistryControlSet(target), 0);
    const auto exported = [](const wchar_t* file, const wchar_t* key) {
        return L"detached: regedit.exe /e:a \"C:\\W x\\" + std::wstring(file) + L"\" \"HKEY_LOCAL_MACHINE\\" +
               key + L"\"";
    };
    const wchar_t* const uninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    EXPECT_EQ(launcher.started,
              (Lines{exported(L"lspdump.txt", L"SYSTEM\\CurrentControlSet\\Services\\WinSock2"),
                     exported(L"appdump.txt", uninstall), exported(L"appdu64.txt", uninstall),
                     exported(L"qor7du64.txt", L"SOFTWARE\\VELLONI"),
                     exported(L"qor8dump.txt", L"SOFTWARE\\QOR"), exported(L"qor8du64.txt", L"SOFTWARE\\QOR"),
                     exported(L"ccsdump.txt", L"SYSTEM\\CurrentControlSet")}));

    launcher.failing = {L"regedit.exe"};
    EXPECT_EQ(DumpRegistryLsp(target), rc::FileNotFound);
}

TEST(CommandCaptures, AllCapturesRunIntoOneFileAndTheFirstFailureCounts) {
    RecordingLauncher launcher;
    const std::wstring work = L"C:\\W";
    const CaptureTarget target{launcher, work, kSystem};
    launcher.failing = {L"route.exe", L"netsh.exe interface ipv6 show route",
                        L"netsh.exe interface ipv6 show address"};
    EXPECT_EQ(DumpIpConfiguration(target), SuiteError(0x3F));
    EXPECT_EQ(DumpRouteTable(target), SuiteError(0x3D));
    EXPECT_EQ(DumpArpTable(target), 0);
    EXPECT_EQ(DumpInstalledDrivers(target), 0);
    EXPECT_EQ(DumpNetstat(target), 0);  // appending redirection through the interpreter
    EXPECT_EQ(launcher.started,
              (Lines{L"capture: netsh.exe interface ip show config => C:\\W\\ipcdump.txt",
                     L"capture: netsh.exe interface ipv6 show interface => C:\\W\\ipcdump.txt",
                     L"capture: netsh.exe interface ipv6 show address => C:\\W\\ipcdump.txt",
                     L"capture: ipconfig.exe /all => C:\\W\\ipcdump.txt",
                     L"capture: route.exe print => C:\\W\\iprdump.txt",
                     L"capture: netsh.exe interface ipv6 show route => C:\\W\\iprdump.txt",
                     L"capture: arp.exe -a => C:\\W\\arpdump.txt",
                     L"capture: driverquery.exe /v => C:\\W\\drvdump.txt",
                     L"detached: cmd.exe /D /V:OFF /U /C \"C:\\S\\netstat.exe -ano >> "
                     L"C:\\W\\netdump.txt 2>NUL\""}));
    // A path the interpreter would split or reinterpret is quoted inside the outer quotes.
    EXPECT_EQ(NetstatCommandLine(L"C:\\Win dows\\System32", L"C:\\Documents and Settings\\a&b\\netdump.txt"),
              L"cmd.exe /D /V:OFF /U /C \"\"C:\\Win dows\\System32\\netstat.exe\" -ano >> "
              L"\"C:\\Documents and Settings\\a&b\\netdump.txt\" 2>NUL\"");
    // One it would expand, even quoted, starts nothing.
    launcher.started.clear();
    const std::wstring expanding = L"C:\\%USERNAME%";
    EXPECT_EQ(DumpNetstat(CaptureTarget{launcher, expanding, kSystem}), ResultFromWin32(161));
    EXPECT_TRUE(launcher.started.empty());
}

// Tables that cannot be read are not reported: the step's result is the listing's launch.
// A capture ends itself before its step is given up: a tenth of the deadline early, at most
// a second; nothing is left once that point has passed.
TEST(CommandCaptures, BudgetEndsBeforeTheStepDeadline) {
    EXPECT_EQ(CaptureBudgetMs(120000, 0), 119000u);
    EXPECT_EQ(CaptureBudgetMs(120000, 118999), 1u);
    EXPECT_EQ(CaptureBudgetMs(120000, 119000), 0u);
    EXPECT_EQ(CaptureBudgetMs(5000, 1000), 3500u);
    EXPECT_EQ(CaptureBudgetMs(5000, 600000), 0u);
}

TEST(ActiveConnections, TheStepsResultIsTheListingsLaunch) {
    struct Unreadable final : ConnectionTableReader {
        std::uint32_t Read(ConnectionTable, void*, std::uint32_t&) noexcept override { return 5; }
    };
    OsVersionRecord os;
    os.filled = true;
    os.majorVersion = 6;
    int opened = 0;
    const OpenConnectionTables open = [&opened] {
        ++opened;
        return std::make_unique<Unreadable>();
    };
    test::ScratchDirectory dir;
    RecordingLauncher launcher;
    const std::wstring work = dir.Path();
    const CaptureTarget target{launcher, work, kSystem};
    EXPECT_EQ(DumpActiveConnections(os, open, target), rc::Ok);
    launcher.failing = {L"cmd.exe"};
    EXPECT_EQ(DumpActiveConnections(os, open, target), rc::FileNotFound);
    EXPECT_EQ(opened, 2);
    EXPECT_EQ(launcher.started.size(), 2u);
}

TEST(FilteringPlatform, VistaOnlyInOrderStoppingAtTheFirstFailure) {
    RecordingLauncher launcher;
    const std::wstring work = L"C:\\W";
    const CaptureTarget target{launcher, work, kSystem};
    EXPECT_EQ(DumpFilteringPlatform(target, false), 0);
    EXPECT_TRUE(launcher.started.empty());

    EXPECT_EQ(DumpFilteringPlatform(target, true), 0);
    EXPECT_EQ(launcher.started,
              (Lines{L"wait: netsh.exe wfp show state file=\"C:\\W\\wfpstate.xml\"",
                     L"wait: netsh.exe wfp show filter file=\"C:\\W\\wfpfltr.xml\"",
                     L"wait: netsh.exe wfp show boottimepolicy file=\"C:\\W\\wfpboot.xml\""}));

    launcher.started.clear();
    launcher.failing = {L"netsh.exe wfp show state"};
    EXPECT_EQ(DumpFilteringPlatform(target, true), rc::FileNotFound);
    EXPECT_EQ(launcher.started.size(), 1u);
}

}  // namespace
}  // namespace qor
