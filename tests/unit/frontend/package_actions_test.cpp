#include "frontend/package_actions.h"

#include <gtest/gtest.h>

#include "fakes/run_harness.h"
#include "platform/fs.h"
#ifndef _WIN32
#include <unistd.h>

#include "platform/posix/native_path_posix.h"
#endif

namespace qor {
namespace {

class RecordingShell final : public Shell {
public:
    ResultCode ShowInExplorer(const std::wstring& path) override {
        shown.push_back(path);
        return showCode;
    }
    void Open(const std::wstring& path) override { opened.push_back(path); }
    std::vector<std::wstring> shown, opened;
    ResultCode showCode = rc::Ok;
};

struct Actions {
    Actions() { h.sources.InstallSuite(L"C:\\PF\\QOR", data.Path()); }
    PackageActions Make() {
        return PackageActions(h.console, h.installation, [this] { return h.Make(); }, shell);
    }

    test::RunHarness h;
    test::ScratchDirectory data;
    RecordingShell shell;
};

TEST(PackageCopyName, OnlyTheFileNamePartChanges) {
    EXPECT_EQ(PackageCopyName(L"C:\\t\\w.tmp\\qorfwdiag_2026_12_05_01_10.tmp"),
              L"qorfwdiag_2026_12_05_01_10.zip");
    EXPECT_EQ(PackageCopyName(L"C:a.tmp.tmp"), L"a.zip.zip");
    EXPECT_EQ(PackageCopyName(L"/x/y.TMP"), L"y.TMP");
    EXPECT_EQ(ReportTextPath(L"C:\\u.tmp\\qorfwdiag7\\qorfwdiag_2026_12_05_01_10.tmp"),
              L"C:\\u.tmp\\qorfwdiag7\\qorfwdiag_2026_12_05_01_10.txt");
}

// The copy's name in the dumps folder is checked end to end.
TEST(CreateDiagnosticsPackage, CopiesIntoTheDumpsFolderAndShowsIt) {
    Actions a;
    a.Make().CreateDiagnosticsPackage(true);
    ASSERT_EQ(a.shell.shown.size(), 1u);
    const std::wstring& copy = a.shell.shown[0];
    EXPECT_EQ(test::ReadBytes(copy), "PK\x05\x06");
    const std::wstring& out = a.h.console.output;
    EXPECT_NE(out.find(L"\nDiagnostics process finished, copying archive file, please stand by.\n"
                       L"\nThe diagnostics file was saved as:\n" + copy +
                       L"\nPlease send the file to your Technical Support contact.\n\n"),
              std::wstring::npos);

    a.h.console.output.clear();  // a second package replaces a copy of the same name
    a.Make().CreateDiagnosticsPackage(false);
    ASSERT_EQ(a.shell.shown.size(), 2u);
    EXPECT_EQ(test::ReadBytes(a.shell.shown[1]), "PK\x05\x06");
}

TEST(CreateDiagnosticsPackage, ExplorerCommandLineFailureIsReported) {
    Actions a;
    a.shell.showCode = rc::OutOfMemory;
    a.Make().CreateDiagnosticsPackage(true);
    ASSERT_EQ(a.shell.shown.size(), 1u);
    const std::wstring& out = a.h.console.output;
    EXPECT_NE(out.find(L"Please send the file to your Technical Support contact.\n\n"
                       L"Error caught - 0xe0010001.\n"),
              std::wstring::npos)
        << out;
}

TEST(CreateDiagnosticsPackage, FailedRunPrintsTheErrorReport) {
    Actions a;
    a.h.zipCode = rc::FileNotFound;
    a.Make().CreateDiagnosticsPackage(true);
    EXPECT_TRUE(a.shell.shown.empty());
    EXPECT_NE(a.h.console.output.find(L"Error caught:\nQorFwDiag error: e001003d\n"),
              std::wstring::npos);
}

// After a step was given up the factory makes no run: nothing starts, and the user hears why.
TEST(CreateDiagnosticsPackage, NoNewRunAfterAStepWasGivenUp) {
    Actions a;
    PackageActions actions(a.h.console, a.h.installation, [] { return nullptr; }, a.shell);
    actions.CreateDiagnosticsPackage(true);
    actions.SaveReportAndOpen();
    EXPECT_EQ(actions.RunToFile(a.data / L"out"), ResultFromWin32(kWin32Timeout));
    const std::wstring refused =
        L"\nA step of the previous run is still stuck; no new run is started.\n"
        L"Please restart the program to make another diagnostics file.\n";
    const std::wstring starting = L"\nStarting information gathering process, please stand by.\n";
    EXPECT_EQ(a.h.console.output, starting + refused + starting + refused + refused);
    EXPECT_TRUE(a.shell.shown.empty() && a.shell.opened.empty());
}

// The copy to the name as typed and to a missing folder are checked end to end.
TEST(RunToFile, ShowsNothingAndAnswersTheRunsFailure) {
    Actions a;
    EXPECT_EQ(a.Make().RunToFile(a.data / L"out"), 0);
    EXPECT_TRUE(a.shell.shown.empty());
    a.h.zipCode = rc::OutOfMemory;
    EXPECT_EQ(a.Make().RunToFile(a.data / L"out"), rc::OutOfMemory);
}

#ifndef _WIN32
// A link put at the destination's name is replaced, not written through.
TEST(RunToFile, DoesNotWriteThroughALinkAtTheDestination) {
    Actions a;
    test::WriteBytes(a.data / L"elsewhere", "keep");
    ASSERT_EQ(symlink(fs::NativePath(a.data / L"elsewhere").c_str(),
                      fs::NativePath(a.data / L"out").c_str()), 0);
    EXPECT_EQ(a.Make().RunToFile(a.data / L"out"), 0);
    EXPECT_EQ(test::ReadBytes(a.data / L"elsewhere"), "keep");
    EXPECT_EQ(test::ReadBytes(a.data / L"out"), "PK\x05\x06");
}
#endif

// The rename to text and its message are checked end to end.
TEST(SaveReportAndOpen, OpensTheRenamedReport) {
    Actions a;
    a.Make().SaveReportAndOpen();
    ASSERT_EQ(a.shell.opened.size(), 1u);
    const std::wstring& report = a.shell.opened[0];
    EXPECT_EQ(report.substr(report.size() - 4), L".txt");
    (void)fs::RemoveTree(report.substr(0, report.find_last_of(L"\\/")));
}

}  // namespace
}  // namespace qor
