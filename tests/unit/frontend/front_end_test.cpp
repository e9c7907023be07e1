#include "frontend/front_end.h"

#include <gtest/gtest.h>

#include "fakes/fake_console.h"
#include "fakes/recording_actions.h"
#include "frontend/banner.h"

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

TEST(RunFrontEnd, HelpComesBeforeTheLoggingModule) {
    FrontEnd f("1");
    platform_starts = 0;
    EXPECT_EQ(f.Run({L"/?"}), 0);
    EXPECT_EQ(platform_starts, 1);
    EXPECT_EQ(f.console.output, BannerText() + kHelpText);
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

TEST(RunFrontEnd, CommandLineActionsGiveTheExitCode) {
    FrontEnd run("q");
    run.actions.runCode = rc::NotSupported;
    EXPECT_EQ(run.Run({L"-run", L"out.zip"}), rc::NotSupported);
    EXPECT_EQ(run.actions.calls, (std::vector<std::wstring>{L"attach", L"run(out.zip)"}));
    EXPECT_FALSE(run.console.InputConsumed());  // no menu

    FrontEnd repair;
    repair.actions.repairCode = 5;
    EXPECT_EQ(repair.Run({L"/repairinfcache"}), 5);
    EXPECT_EQ(repair.actions.calls, (std::vector<std::wstring>{L"attach", L"repair"}));
}

}  // namespace
}  // namespace qor
