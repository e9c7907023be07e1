#pragma once
// How console text leaves the program, so that no text is ever cut short.
#include <cstdint>
#include <string>
#include <string_view>

namespace qor {

struct ConsoleEncoding {
    bool wide = false;           // a real console, written as wide text: every character shows
    std::uint32_t codePage = 0;  // otherwise bytes in this code page
    // "?" for a character the code page cannot hold, never a look-alike. Off for the code
    // pages whose conversion takes no replacement character (UTF-8 and UTF-7 hold every
    // character; the others use their own).
    bool replaceUnmappable = false;
};

// A real console gets wide text. Redirected output is converted to the console's output code
// page, or to the ANSI code page when the process has no console (code page 0).
ConsoleEncoding ChooseConsoleEncoding(bool realConsole, std::uint32_t consoleCodePage,
                                      std::uint32_t ansiCodePage);

// Every character below 128 as itself, any other one as "?": for when the system cannot
// convert at all.
std::string AsciiWithReplacement(std::wstring_view text);

}  // namespace qor
