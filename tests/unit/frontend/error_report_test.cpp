#include "frontend/error_report.h"

#include <gtest/gtest.h>

#include "fakes/fake_console.h"
#include "frontend/repair_action.h"

namespace qor {
namespace {

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
