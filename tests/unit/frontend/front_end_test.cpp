#include "frontend/front_end.h"

#include <gtest/gtest.h>

#include "fakes/fake_console.h"
#include "fakes/recording_actions.h"
#include "frontend/banner.h"
#include "frontend/command_line.h"

namespace qor {
namespace {

int platform_starts = 0;
ResultCode StartOk() { ++platform_starts; return rc::Ok; }
ResultCode StartFails() { return rc::OutOfMemory; }

struct FrontEnd {
    explicit FrontEnd(std::string input = {}) : console(std::move(input)), actions(console) {}
    ResultCode Run(std::vector<std::wstring> args, PlatformStartFn start = StartOk) {
        return RunFrontEnd(args, console, actions, start);
    }
    test::FakeConsole console;
    test::RecordingActions actions;
};

TEST(RunFrontEnd, FailedPlatformStartPrintsNothing) {
    FrontEnd f("q");
    EXPECT_EQ(f.Run({}, StartFails), rc::OutOfMemory);
    EXPECT_TRUE(f.console.output.empty());
    EXPECT_TRUE(f.actions.calls.empty());
}

// The help text and exit code are checked end to end.
TEST(RunFrontEnd, HelpComesBeforeTheLoggingModule) {
    FrontEnd f("1");
    platform_starts = 0;
    EXPECT_EQ(f.Run({L"/?"}), 0);
    EXPECT_EQ(platform_starts, 1);
    EXPECT_TRUE(f.actions.calls.empty());
}

TEST(RunFrontEnd, MenuAfterBannerAndAttachQuitGivesZero) {
    FrontEnd f("1q");
    f.actions.attachCode = rc::FileNotFound;  // ignored
    EXPECT_EQ(f.Run({L"-H"}), 0);
    EXPECT_EQ(f.actions.calls, (std::vector<std::wstring>{L"attach", L"enable(app)"}));
    EXPECT_EQ(f.console.output,
              BannerText() + L"<attach>" + kMainMenuText + L"<enable(app)>" + kMainMenuText);
}

TEST(RunFrontEnd, RunToFileGivesTheExitCode) {
    FrontEnd run("q");
    run.actions.runCode = rc::NotSupported;
    EXPECT_EQ(run.Run({L"-run", L"out.zip"}), rc::NotSupported);
    EXPECT_EQ(run.actions.calls, (std::vector<std::wstring>{L"attach", L"run(out.zip)"}));
    EXPECT_FALSE(run.console.InputConsumed());  // no menu; the repair's code is checked end to end
}

using Args = std::vector<std::wstring>;

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

TEST(ParseCommandLine, RunNeedsTwoNonEmptyArguments) {
    const Command run = ParseCommandLine({L"-run", L"C:\\out dir\\pkg.zip"});
    EXPECT_EQ(run.kind, CommandKind::RunToFile);
    EXPECT_EQ(run.fileName, L"C:\\out dir\\pkg.zip");
    EXPECT_EQ(KindOf({L"-run", L""}), CommandKind::Menu);
    EXPECT_EQ(KindOf({L"", L"file"}), CommandKind::Menu);
}

}  // namespace
}  // namespace qor
