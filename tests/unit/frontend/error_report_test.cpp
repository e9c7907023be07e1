#include "frontend/error_report.h"

#include <gtest/gtest.h>

#include "fakes/fake_console.h"

namespace qor {
namespace {

constexpr const wchar_t* kTail = L"\n\nPlease provide it to your Technical Support contact.\n";

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

TEST(PrintError, ReportOfTheExampleRecord) {
    QorException record(rc::ArgumentMissing);
    record.AddValue(L"%NAME%", L"QorTdiA");
    record.AddValue(L"%CHECK_POINT%", L"3");
    test::FakeConsole console;
    PrintError(console, Result(record));
    EXPECT_EQ(console.output,
              std::wstring(L"Error caught:\nQorFwDiag error: e0010002 %NAME% = \"QorTdiA\", "
                           L"%CHECK_POINT% = \"3\"") + kTail);
}

TEST(PrintError, EmptyResultFallsBackToTheUnformattedText) {
    test::FakeConsole console;
    PrintError(console, Result());
    EXPECT_EQ(console.output,
              std::wstring(L"Error caught:\nUnformatted QorFwDiag error, code: 0x0") + kTail);
}

TEST(PrintErrorCode, LowerCaseWithoutLeadingZeros) {
    test::FakeConsole console;
    PrintErrorCode(console, rc::OutOfMemory);
    PrintErrorCode(console, 0x54);
    EXPECT_EQ(console.output,
              L"Error caught - 0xe0010001.\nPlease provide it to your Technical Support contact.\n"
              L"Error caught - 0x54.\nPlease provide it to your Technical Support contact.\n");
}

}  // namespace
}  // namespace qor
