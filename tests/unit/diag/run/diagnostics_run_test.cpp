#include "diag/run/diagnostics_run.h"

#include <vector>

#include <gtest/gtest.h>

#include "common/path_join.h"
#include "diag/run/dump_file.h"
#include "diag/run/work_directory.h"
#include "fakes/run_harness.h"
#include "platform/fs.h"

namespace qor {
namespace {

using test::RunHarness;

// The ASCII text of a UTF-16LE dump after its byte-order mark.
std::string DumpText(const std::wstring& path) {
    const std::string bytes = test::ReadBytes(path);
    std::string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) text += bytes[i];
    return text;
}

// The package made in the work directory, which goes with the run: test_package.py.
TEST(DiagnosticsRun, FullVerboseTranscriptWithoutTheSuiteOn32BitSystem) {
    RunHarness h;
    std::wstring package;
    ASSERT_EQ(h.Make()->Run(package, FullSet | Verbose).Code(), 0);
    EXPECT_EQ(h.console.output,
              L"Enabling debug privilege...OK\n"
              L"Creating temporary directory...OK\nReading QOR directory...Failed\n"
              L"QOR not installed or wrong FwDiag used, will skip QOR related sources.\n"
              L"Driver...OK\n"
              L"Registry LSP...Failed\nRegistry Uninstall (x32)...OK\nRegistry Velloni (x32)...Failed\n"
              L"Registry QOR (x32)...Failed\nRegistry CurrentControlSet...Failed\n"
              L"Processes...OK\nInstalled drivers...Failed\nIP configuration...Failed\n"
              L"Route table...Failed\nARP table...Failed\nSystem info...Failed\n"
              L"Active connections...Failed\nQOR versions...skipped\nWD values...skipped\n"
              L"Network areas...Failed\nAVI version...skipped\n"
              L"WFP info:\n\nWFP info result: Failed\n"
              L"Configuration (private)...Failed\nLogs...Failed\nINF files...Failed\n"
              L"CatDB log...Failed\nCreating ZIP...\nOK\n");
    EXPECT_EQ(h.nativeFlags, std::vector<bool>{false});
}

TEST(DiagnosticsRun, Wow64RedirectionBlocksAndTheReducedSet) {
    RunHarness h;
    h.sources.InstallSuite();
    std::wstring package;
    ASSERT_EQ(h.Make(true)->Run(package, Verbose).Code(), 0);
    const std::wstring off = L"Disable WOW64 FS redirection...OK\n";
    const std::wstring on = L"Enable WOW64 FS redirection...OK\n";
    const std::wstring& out = h.console.output;
    const auto between = [&](const wchar_t* from, const wchar_t* to) {
        const std::size_t a = out.find(from), b = out.find(to);
        return a == std::wstring::npos || b == std::wstring::npos ? L"?" : out.substr(a, b - a);
    };
    EXPECT_EQ(between(L"Registry Uninstall (x32)", L"Registry Velloni (x32)"),
              L"Registry Uninstall (x32)...OK\n" + off + L"Registry Uninstall (native)...OK\n" + on);
    EXPECT_EQ(between(L"Active connections", L"WD values"),
              L"Active connections...Failed\n" + off + L"QOR versions...Failed\n" + on);
    EXPECT_EQ(between(L"WFP info result", L"INF files"),
              L"WFP info result: Failed\nConfiguration files skipped.\n" + off +
                  L"Logs (reduced set)...Failed\n" + on);
    EXPECT_EQ(between(L"INF files", L"Creating ZIP"),
              L"INF files...Failed\n" + off + L"CatDB log...Failed\n" + on);
    EXPECT_NE(out.find(L"Reading QOR directory...OK\nDriver..."), std::wstring::npos);
    EXPECT_EQ(h.nativeFlags, (std::vector<bool>{false, true}));
    EXPECT_EQ(h.toggles.size(), 13u);  // 6 off and 6 on, then the saved state restored
    EXPECT_EQ(h.toggles.back(), 42u);
}

TEST(DiagnosticsRun, FailedDisableSkipsOnlyTheNativeExports) {
    RunHarness h;
    h.disableCode = rc::NotSupported;
    std::wstring package;
    ASSERT_EQ(h.Make(true)->Run(package, FullSet | Verbose).Code(), 0);
    EXPECT_EQ(h.nativeFlags, std::vector<bool>{false});
    EXPECT_NE(h.console.output.find(L"Disable WOW64 FS redirection...Failed\n"
                                    L"Enable WOW64 FS redirection...OK\nRegistry Velloni (x32)"),
              std::wstring::npos);
}

// The driver asked twenty times while it answers "invalid function"; each try its own line.
// The console's twenty tries, the report's result line and one log line per printed outcome
// are checked end to end.
TEST(DiagnosticsRun, RunLogHasEveryPrintedStepInOrderWithCodeAndTime) {
    RunHarness h;
    h.driverCode = rc::InvalidFunction;
    std::wstring package;
    auto run = h.Make(true);
    run->SetRemoveWorkDirectory(false);
    ASSERT_EQ(run->Run(package, FullSet | Verbose).Code(), 0);
    EXPECT_EQ(h.driverQueries, 20);
    const std::string log = DumpText(JoinPath(run->WorkDirectory(), L"runlog.txt"));

    const std::string ok = "\tOK\t0 (0x0)\t5 ms\r\n";
    std::string driver;
    for (int i = 0; i < 20; ++i) driver += "Driver\tFailed\t-536805290 (0xe0010056)\t5 ms\r\n";
    EXPECT_EQ(log.find("Enabling debug privilege" + ok + "Creating temporary directory" + ok +
                       "Reading QOR directory\tFailed\t-536805357 (0xe0010013)\t5 ms\r\n" +
                       driver + "Registry LSP\tFailed\t-536805292 (0xe0010054)\t5 ms\r\n" +
                       "Registry Uninstall (x32)" + ok + "Disable WOW64 FS redirection" + ok +
                       "Registry Uninstall (native)" + ok),
              log.find("Enabling"));
    EXPECT_NE(log.find("\r\nQOR versions\tskipped\t0 (0x0)\t0 ms\r\n"), std::string::npos);
    EXPECT_EQ(log.find("Creating ZIP"), std::string::npos);  // packed before it runs
    EXPECT_TRUE(log.ends_with("Enable WOW64 FS redirection" + ok + "Total\t" +
                              // from the log's first reading to its writing, two before the last
                              std::to_string(h.clockMs - 10 - 1005) + " ms\r\n"))
        << log;
}

// A report alone is made silently without an archive; the kept report is checked end to end.
TEST(DiagnosticsRun, ReportOnlyZipFailureAndNoTemporaryFolder) {
    RunHarness h;
    std::wstring report;
    ASSERT_EQ(h.Make()->Run(report, ReportOnly).Code(), 0);
    EXPECT_TRUE(h.console.output.empty());
    EXPECT_TRUE(h.zipped.empty());

    h.zipCode = rc::FileNotFound;  // the archive's failure is the run's result
    std::wstring package = L"untouched";
    EXPECT_EQ(h.Make()->Run(package, 0).Code(), rc::FileNotFound);
    EXPECT_EQ(package, L"untouched");

    test::SetEnvironment(L"TMP", h.temp / L"missing\\deeper");
    EXPECT_TRUE(h.Make()->Run(package, Verbose).IsFailed());
    EXPECT_TRUE(h.console.output.ends_with(L"\nCreating temporary directory...")) << h.console.output.size();
}

std::string Utf16(const std::string& ascii) {
    std::string out;
    for (const char c : ascii) out += {c, '\0'};
    return out;
}

const std::string kHeader = "Report generated by QORFWDIAG build 241 [4203].";

// Non-ASCII text, a full path and the report's result line: test_firewall_driver.py,
// test_package.py.
TEST(WriteDumpFile, MarkHeaderLineEndsAndTheDirectory) {
    test::ScratchDirectory dir;
    ASSERT_EQ(WriteDumpFile(dir.Path(), L"empty.txt", L""), 0);
    EXPECT_EQ(test::ReadBytes(dir / L"empty.txt"), "\xFF\xFE" + Utf16(kHeader + "\r\n"));

    ASSERT_EQ(WriteDumpFile(dir.Path(), L"lf.txt", L"a\nb\n"), 0);
    EXPECT_EQ(test::ReadBytes(dir / L"lf.txt"), "\xFF\xFE" + Utf16(kHeader + "\r\na\r\nb\r\n"));

    // One CR LF anywhere: the whole text, header included, stays as it is.
    ASSERT_EQ(WriteDumpFile(dir.Path(), L"crlf.txt", L"a\r\nb\n"), 0);
    EXPECT_EQ(test::ReadBytes(dir / L"crlf.txt"), "\xFF\xFE" + Utf16(kHeader + "\na\r\nb\n"));

    EXPECT_EQ(WriteDumpFile(L"", L"x.txt", L"t"), rc::ArgumentMissing);
    EXPECT_EQ(WriteDumpFile(dir / L"missing", L"x.txt", L"t"), rc::PathNotFound);
    EXPECT_EQ(WriteDumpFile(dir / L"lf.txt", L"x.txt", L"t"), rc::PathNotFound);  // a file
}

TEST(WorkDirectory, NamesAndTheTemporaryFolderOrder) {
    TimeFields t;
    t.year = 2026; t.month = 1; t.day = 5; t.hour = 3; t.minute = 7;
    EXPECT_EQ(PackageName(t), L"qorfwdiag_2026_01_05_03_07.tmp");
    EXPECT_EQ(WorkDirectoryName(4294967295u), L"qorfwdiag4294967295");

    test::ScratchDirectory dir, profile;
    const test::EnvironmentGuard guard{L"TMP", L"TEMP", L"USERPROFILE"};
    for (const wchar_t* name : {L"TMP", L"TEMP", L"USERPROFILE"}) test::UnsetEnvironment(name);
    std::wstring folder = L"untouched";
    EXPECT_EQ(GetTempFolder(folder), rc::PathNotFound);
    EXPECT_EQ(folder, L"untouched");
    test::SetEnvironment(L"USERPROFILE", profile.Path());
    ASSERT_EQ(GetTempFolder(folder), 0);
    EXPECT_EQ(folder, profile.Path());

    test::SetEnvironment(L"TEMP", dir.Path());  // before the profile
    std::wstring work;
    ASSERT_EQ(NameWorkDirectory(work), 0);
    EXPECT_EQ(work.rfind(JoinPath(dir.Path(), L"qorfwdiag"), 0), 0u) << work.size();
    std::wstring package;  // its place in the work directory is checked end to end
    EXPECT_EQ(NamePackage(L"", package), rc::EmptyPath);

    fs::File held, second;
    ASSERT_EQ(CreateWorkDirectory(work, held), 0);
    EXPECT_TRUE(held.IsOpen());
    EXPECT_NE(CreateWorkDirectory(work, second), 0);  // exists already
    test::WriteBytes(JoinPath(work, L"a.txt"), "a");  // a full tree's removal: end to end
    ASSERT_EQ(RemoveWorkDirectory(work, held), 0);
    EXPECT_FALSE(held.IsOpen());
    EXPECT_FALSE(fs::IsDirectory(work));
    EXPECT_EQ(RemoveWorkDirectory(L"", held), rc::EmptyPath);
}

}  // namespace
}  // namespace qor
