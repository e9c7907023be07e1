#include "common/console_encoding.h"

#include <gtest/gtest.h>

namespace qor {
namespace {

TEST(ChooseConsoleEncoding, WideOnAConsoleElseTheCodePageWithOrWithoutReplacement) {
    const struct {
        bool console; std::uint32_t consoleCp, ansiCp;
        bool wide; std::uint32_t codePage; bool replace;
    } cases[] = {
        {true, 437, 1252, true, 0, false},
        {false, 437, 1252, false, 437, true},      // redirected: the console's code page
        {false, 0, 1252, false, 1252, true},       // no console at all: the ANSI one
        {false, 65001, 1252, false, 65001, false}, // UTF-8 takes no replacement character
        {false, 0, 65001, false, 65001, false},
        {false, 54936, 1252, false, 54936, false},
        {false, 57006, 1252, false, 57006, false},
        {false, 932, 1252, false, 932, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const ConsoleEncoding e = ChooseConsoleEncoding(c.console, c.consoleCp, c.ansiCp);
        EXPECT_EQ(e.wide, c.wide);
        if (!c.wide) {
            EXPECT_EQ(e.codePage, c.codePage);
        }
        EXPECT_EQ(e.replaceUnmappable, c.replace);
    }
}

TEST(AsciiWithReplacement, KeepsEveryCharacterInPlace) {
    EXPECT_EQ(AsciiWithReplacement(L"p\u00e2ck \u6f22\u5b57.zip\r\nend"), "p?ck ??.zip\r\nend");
}

}  // namespace
}  // namespace qor
