#include "frontend/menus.h"

#include <gtest/gtest.h>

#include "fakes/fake_console.h"
#include "fakes/recording_actions.h"
#include "frontend/banner.h"

namespace qor {
namespace {

const std::wstring M = kMainMenuText;
const std::wstring E = kExpertMenuText;

struct Session {
    explicit Session(std::string input) : console(std::move(input)), actions(console) {
        RunMainMenu(console, actions);
    }
    test::FakeConsole console;
    test::RecordingActions actions;
};

TEST(MainMenu, EveryActionKeyInTypedAheadOrder) {
    Session s("12345\n");
    EXPECT_EQ(s.actions.calls,
              (std::vector<std::wstring>{L"enable(app)", L"enable(driver)", L"disable(app)",
                                         L"disable(driver)", L"package(remove)"}));
    EXPECT_EQ(s.console.output, M + L"<enable(app)>" + M + L"<enable(driver)>" + M +
                                    L"<disable(app)>" + M + L"<disable(driver)>" + M +
                                    L"<package(remove)>" + M);
}

TEST(MainMenu, QuitKeysStopReadingAtOnce) {
    for (const char* input : {"q1", "Q1", "x1", "X1"}) {
        Session s(input);
        EXPECT_EQ(s.console.output, M) << input;
        EXPECT_TRUE(s.actions.calls.empty()) << input;
        EXPECT_EQ(s.console.reads, 1) << input;
    }
}

TEST(MainMenu, LineEndsAreSkippedAndOtherBytesRedisplay) {
    Session s("\r\n\r\nz\xff\x80" "7 1");
    EXPECT_EQ(s.actions.calls, std::vector<std::wstring>{L"enable(app)"});
    const std::wstring again = L"\n" + M;
    EXPECT_EQ(s.console.output, M + again + again + again + again + again + L"<enable(app)>" + M);
}

TEST(MainMenu, EndOfInputEndsTheLoop) {
    Session empty("");
    EXPECT_EQ(empty.console.output, M);
    Session after_enter("\r\n");
    EXPECT_EQ(after_enter.console.output, M);
}

TEST(ExpertMenu, EveryActionKeyThenBackToTheMainMenu) {
    const std::pair<const char*, const wchar_t*> keys[] = {
        {"61", L"enable-all"}, {"62", L"disable(app)"}, {"63", L"unstoppable"},
        {"64", L"package(keep)"}, {"68", L"report"}, {"69", L"stoppable"}};
    for (const auto& [input, action] : keys) {
        Session s(input);
        EXPECT_EQ(s.actions.calls, std::vector<std::wstring>{action}) << input;
        EXPECT_EQ(s.console.output, M + E + L"<" + action + L">" + M) << input;
    }
}

TEST(ExpertMenu, BackKeysReturnWithoutAction) {
    for (const char* input : {"65", "66", "67", "6q", "6Q", "6x", "6X"}) {
        Session s(input);
        EXPECT_TRUE(s.actions.calls.empty()) << input;
        EXPECT_EQ(s.console.output, M + E + M) << input;
    }
}

TEST(ExpertMenu, UnlistedKeysRedisplayOnlyTheExpertMenu) {
    Session s("6\n0z\xe9\r3q");
    EXPECT_EQ(s.actions.calls, std::vector<std::wstring>{L"unstoppable"});
    EXPECT_EQ(s.console.output, M + E + L"\n" + E + L"\n" + E + L"\n" + E + L"<unstoppable>" + M);
}

TEST(ExpertMenu, EndOfInputEndsBothLoops) {
    Session s("6\n");
    EXPECT_EQ(s.console.output, M + E);
}

}  // namespace
}  // namespace qor
