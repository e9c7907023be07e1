#include "common/text_format.h"

#include <gtest/gtest.h>

namespace qor {
namespace {

TEST(FormatText, WideStringsNumbersAndGrowth) {
    EXPECT_EQ(FormatText(L"[%ls|%3i|%4i|%x]", L"ab", 7, 4203, 0xE0010001u),
              L"[ab|  7|4203|e0010001]");
    const std::wstring long_text(5000, L'z');
    EXPECT_EQ(FormatText(L"<%ls>", long_text.c_str()), L"<" + long_text + L">");
    const wchar_t non_ascii[] = {0x00E9, 0x4E2D, 0xD800, 0};  // includes an unpaired surrogate
    EXPECT_EQ(FormatText(L"%ls", non_ascii), std::wstring(non_ascii));
}

TEST(FormatText, TooLongGivesEmptyText) {
    const std::wstring huge((std::size_t{1} << 20) + 1, L'x');
    EXPECT_EQ(FormatText(L"%ls", huge.c_str()), L"");
}

}  // namespace
}  // namespace qor
