#include "frontend/repair_action.h"

#include <gtest/gtest.h>

#include "fakes/fake_console.h"

namespace qor {
namespace {

TEST(RepairAction, ReportsTheRepairsCodeAndAnswersIt) {
    const std::wstring kStart =
        L"\nStarting process to repair INF cache(s) on your computer, please wait.\n";
    struct Case {
        ResultCode code;
        std::wstring closing;
    } cases[] = {
        {0, L"\nRepairing INF cache finished successfully (0x0).\n"
            L"Do not forget to REBOOT COMPUTER to apply changes.\n"},
        {0x60018D39, L"\nRepairing INF cache finished successfully (0x60018d39).\n"
                     L"Do not forget to REBOOT COMPUTER to apply changes.\n"},
        {SuiteError(0x54), L"\nWe are sorry, the process finished with an error (0xe0010054).\n"
                           L"Please copy the text and send it to your Customer Services contact.\n"},
    };
    for (const Case& c : cases) {
        test::FakeConsole console;
        const ResultCode answered = RunInfRepairAction(console, [&](Console& out) {
            out.Write(L"steps\n");
            return c.code;
        });
        EXPECT_EQ(answered, c.code);
        EXPECT_EQ(console.output, kStart + L"steps\n" + c.closing);
    }
}

}  // namespace
}  // namespace qor
