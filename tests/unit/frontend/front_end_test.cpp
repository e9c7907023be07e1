#include "frontend/front_end.h"

#include <gtest/gtest.h>

#include <sstream>

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

TEST(Banner, ExactTextWithEveryFramedLine33Wide) {
    const std::wstring banner = BannerText();
    EXPECT_EQ(banner.substr(0, 137),
              L"\n|-------------------------------|\n| QOR Firewall Diagnostics Tool |\n"
              L"|     version 2.0 (rev 241)     |\n|     product version 4203      |\n");
    std::wistringstream lines(banner);
    std::wstring line;
    int framed = 0;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] != L'|') continue;
        ++framed;
        EXPECT_EQ(line.size(), 33u) << line;
        EXPECT_EQ(line.back(), L'|') << line;
    }
    EXPECT_EQ(framed, 6);
    EXPECT_TRUE(banner.ends_with(
        L"|-------------------------------|\n\nNotice!\n"
        L"Using this tool without authorization from QOR Technical Support\n"
        L"might lead to QOR performance issues, malfunctioning and misbehavior.\n\n"));
}

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
