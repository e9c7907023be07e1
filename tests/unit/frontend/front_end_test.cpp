#include "frontend/front_end.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/fake_console.h"
#include "frontend/actions.h"
#include "frontend/command_line.h"
#include "frontend/error_report.h"
#include "frontend/menus.h"
#include "frontend/repair_action.h"

namespace qor::test {

// Records each action by name and writes a marker to the console so the order of
// actions and menus can be checked in one transcript.
class RecordingActions final : public FrontEndActions {
public:
    explicit RecordingActions(Console& console) : console_(console) {}

    ResultCode AttachLoggingModule() override { return Record(L"attach", attachCode); }
    void EnableDebugLogging(bool driver) override {
        Record(driver ? L"enable(driver)" : L"enable(app)");
    }
    void EnableAllDebugLogging() override { Record(L"enable-all"); }
    void DisableDebugLogging(bool driver) override {
        Record(driver ? L"disable(driver)" : L"disable(app)");
    }
    void MakeServiceStoppable() override { Record(L"stoppable"); }
    void MakeServiceUnstoppable() override { Record(L"unstoppable"); }
    void CreateDiagnosticsPackage(bool remove) override {
        Record(remove ? L"package(remove)" : L"package(keep)");
    }
    void SaveReportAndOpen() override { Record(L"report"); }
    ResultCode RunToFile(const std::wstring& name) override {
        return Record(L"run(" + name + L")", runCode);
    }
    ResultCode RepairInfCacheAction() override { return Record(L"repair", repairCode); }

    std::vector<std::wstring> calls;
    ResultCode attachCode = 0;
    ResultCode runCode = 0;
    ResultCode repairCode = 0;

private:
    ResultCode Record(const std::wstring& name, ResultCode code = 0) {
        calls.push_back(name);
        console_.Write(L"<" + name + L">");
        return code;
    }

    Console& console_;
};

}  // namespace qor::test

namespace qor {
namespace {

using Args = std::vector<std::wstring>;

ResultCode StartOk() { return rc::Ok; }
ResultCode StartFails() { return rc::OutOfMemory; }

struct FrontEnd {
    explicit FrontEnd(std::string input = {}) : console(std::move(input)), actions(console) {}
    ResultCode Run(std::vector<std::wstring> args, PlatformStartFn start = StartOk) {
        return RunFrontEnd(args, console, actions, start);
    }
    void Menu() { RunMainMenu(console, actions); }
    test::FakeConsole console;
    test::RecordingActions actions;
};

TEST(RunFrontEnd, FailedPlatformStartPrintsNothing) {
    FrontEnd f("q");
    EXPECT_EQ(f.Run({}, StartFails), rc::OutOfMemory);
    EXPECT_TRUE(f.console.output.empty());
    EXPECT_TRUE(f.actions.calls.empty());
}

// Help before the logging module and an attach failure ignored: both checked end to end.
TEST(RunFrontEnd, RunToFileGivesTheExitCode) {
    FrontEnd run("q");
    run.actions.runCode = rc::NotSupported;
    EXPECT_EQ(run.Run({L"-run", L"out.zip"}), rc::NotSupported);
    EXPECT_EQ(run.actions.calls, (std::vector<std::wstring>{L"attach", L"run(out.zip)"}));
    EXPECT_FALSE(run.console.InputConsumed());  // no menu; the repair's code is checked end to end
}


CommandKind KindOf(Args args) { return ParseCommandLine(args).kind; }

// The help forms and most misspellings are checked end to end; these are not.
TEST(ParseCommandLine, KindsOfTheArguments) {
    const std::wstring lone_high{static_cast<wchar_t>(0xD800)};
    EXPECT_EQ(KindOf({lone_high + L"h"}), CommandKind::Help);  // one unit skipped, as any switch
    EXPECT_EQ(KindOf({L"/repairinfcache"}), CommandKind::RepairInfCache);
    for (const Args& args : {Args{L"-help "}, Args{L"--help"}, Args{L"h"}, Args{L""},
                             Args{L"-RepairInfCache"}, Args{L"-repairinfcachex"},
                             Args{L"-Run", L"file"}}) {
        EXPECT_EQ(KindOf(args), CommandKind::Menu) << args[0];
    }
}

// An empty or missing name or keyword is checked end to end.
TEST(ParseCommandLine, RunTakesTheFileNameAsGiven) {
    const Command run = ParseCommandLine({L"-run", L"C:\\out dir\\pkg.zip"});
    EXPECT_EQ(run.kind, CommandKind::RunToFile);
    EXPECT_EQ(run.fileName, L"C:\\out dir\\pkg.zip");
}


// Keys whose actions the console text alone does not tell apart, or does not show.
TEST(Menus, KeysCallTheirActionsInTypedOrder) {
    const std::pair<const char*, Args> cases[] = {
        {"12345\n", {L"enable(app)", L"enable(driver)", L"disable(app)", L"disable(driver)",
                     L"package(remove)"}},
        {"\r\n7 1", {L"enable(app)"}},  // line ends and other bytes skipped
        {"63", {L"unstoppable"}}, {"69", {L"stoppable"}},  // 64 and 68: test_package.py
    };
    for (const auto& [input, calls] : cases) {
        FrontEnd s(input);
        s.Menu();
        EXPECT_EQ(s.actions.calls, calls) << input;
    }
}

// End of input is checked end to end; quitting reads no further.
TEST(Menus, QuitStopsReadingAtOnce) {
    for (const char* input : {"q1", "Q1", "x1", "X1"}) {
        FrontEnd s(input);
        s.Menu();
        EXPECT_TRUE(s.actions.calls.empty()) << input;
        EXPECT_EQ(s.console.reads, 1) << input;
    }
}

TEST(FormatError, ValuesInOrderAndInnerChain) {
    QorException cause(rc::FileNotFound);
    QorException record(rc::ArgumentMissing);
    record.AddValue(L"%NAME%", L"QorTdiA");
    record.AddValue(L"%CHECK_POINT%", L"3");
    record.SetInner(cause);

    std::wstring text = L"keep:";
    ASSERT_EQ(FormatError(text, L"P: ", record), 0);
    EXPECT_EQ(text, L"keep:P: e0010002 %NAME% = \"QorTdiA\", %CHECK_POINT% = \"3\"\nP: e001003d");

    text.clear();  // always eight digits
    ASSERT_EQ(FormatError(text, L"", QorException(0x1F)), 0);
    EXPECT_EQ(text, L"0000001f");
}

// A record's report and a suite code's are checked end to end.
TEST(PrintError, EmptyResultFallsBackAndCodesLoseLeadingZeros) {
    test::FakeConsole console;
    PrintError(console, Result());
    PrintErrorCode(console, 0x54);
    EXPECT_EQ(console.output,
              L"Error caught:\nUnformatted QorFwDiag error, code: 0x0\n\n"
              L"Please provide it to your Technical Support contact.\n"
              L"Error caught - 0x54.\nPlease provide it to your Technical Support contact.\n");
}

// The plain success and the failure texts are checked end to end; an informational code
// still counts as success.
TEST(RepairAction, ReportsTheRepairsCodeAndAnswersIt) {
    test::FakeConsole console;
    const ResultCode code = 0x60018D39;
    EXPECT_EQ(RunInfRepairAction(console, [&](Console& out) {
                  out.Write(L"steps\n");
                  return code;
              }),
              code);
    EXPECT_EQ(console.output,
              L"\nStarting process to repair INF cache(s) on your computer, please wait.\nsteps\n"
              L"\nRepairing INF cache finished successfully (0x60018d39).\n"
              L"Do not forget to REBOOT COMPUTER to apply changes.\n");
}

}  // namespace
}  // namespace qor
