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

TEST(Menus, KeysCallTheirActionsInTypedOrder) {
    const std::pair<const char*, Calls> cases[] = {
        {"12345\n", {L"enable(app)", L"enable(driver)", L"disable(app)", L"disable(driver)",
                     L"package(remove)"}},
        {"\r\n\r\nz\xff\x80" "7 1", {L"enable(app)"}},  // line ends and other bytes skipped
        {"61", {L"enable-all"}}, {"62", {L"disable(app)"}}, {"63", {L"unstoppable"}},
        {"64", {L"package(keep)"}}, {"68", {L"report"}}, {"69", {L"stoppable"}},
        // Back keys leave the expert menu; unlisted ones stay in it.
        {"65" "66" "67" "6q" "6Q" "6x" "6X" "6\n0z\xe9\r3", {L"unstoppable"}},
    };
    for (const auto& [input, calls] : cases) {
        EXPECT_EQ(Session(input).actions.calls, calls) << input;
    }
}

TEST(Menus, QuitAndEndOfInputStopReadingAtOnce) {
    for (const char* input : {"q1", "Q1", "x1", "X1"}) {
        Session s(input);
        EXPECT_TRUE(s.actions.calls.empty()) << input;
        EXPECT_EQ(s.console.reads, 1) << input;
    }
    for (const char* input : {"", "\r\n", "6\n"}) {
        Session s(input);
        EXPECT_TRUE(s.actions.calls.empty()) << input;
        EXPECT_TRUE(s.console.InputConsumed()) << input;
    }
}

}  // namespace
}  // namespace qor
