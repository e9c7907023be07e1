#include "common/console_encoding.h"

#include "common/text_encoding.h"

namespace qor {

ConsoleEncoding ChooseConsoleEncoding(bool realConsole, std::uint32_t consoleCodePage,
                                      std::uint32_t ansiCodePage) {
    ConsoleEncoding encoding;
    if (realConsole) {
        encoding.wide = true;
        return encoding;
    }
    encoding.codePage = consoleCodePage != 0 ? consoleCodePage : ansiCodePage;
    encoding.replaceUnmappable = !CodePageRefusesDefaultCharacter(encoding.codePage);
    return encoding;
}

std::string AsciiWithReplacement(std::wstring_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (const wchar_t c : text) {
        bytes += static_cast<std::uint32_t>(c) < 0x80 ? static_cast<char>(c) : '?';
    }
    return bytes;
}

}  // namespace qor
