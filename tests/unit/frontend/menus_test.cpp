// Which keys call which actions, and how many bytes the menus read; the menu texts
// themselves are checked byte for byte end to end.
#include "frontend/menus.h"

#include <gtest/gtest.h>

#include "fakes/fake_console.h"
#include "fakes/recording_actions.h"

namespace qor {
namespace {

using Calls = std::vector<std::wstring>;

struct Session {
    explicit Session(std::string input) : console(std::move(input)), actions(console) {
        RunMainMenu(console, actions);
    }
    test::FakeConsole console;
    test::RecordingActions actions;
};

// Keys whose actions the console text alone does not tell apart, or does not show.
TEST(Menus, KeysCallTheirActionsInTypedOrder) {
    const std::pair<const char*, Calls> cases[] = {
        {"12345\n", {L"enable(app)", L"enable(driver)", L"disable(app)", L"disable(driver)",
                     L"package(remove)"}},
        {"\r\n7 1", {L"enable(app)"}},  // line ends and other bytes skipped
        {"63", {L"unstoppable"}}, {"64", {L"package(keep)"}}, {"68", {L"report"}},
        {"69", {L"stoppable"}},
    };
    for (const auto& [input, calls] : cases) {
        EXPECT_EQ(Session(input).actions.calls, calls) << input;
    }
}

// End of input is checked end to end; quitting reads no further.
TEST(Menus, QuitStopsReadingAtOnce) {
    for (const char* input : {"q1", "Q1", "x1", "X1"}) {
        Session s(input);
        EXPECT_TRUE(s.actions.calls.empty()) << input;
        EXPECT_EQ(s.console.reads, 1) << input;
    }
}

}  // namespace
}  // namespace qor
