#include "common/console_encoding.h"

namespace qor {
namespace {

// The code pages whose conversion rejects both a replacement character and the "no best fit"
// flag: symbol, the ISO-2022 and ISCII families, GB18030, UTF-7 and UTF-8.
bool TakesNoReplacement(std::uint32_t codePage) {
    switch (codePage) {
        case 42: case 50220: case 50221: case 50222: case 50225: case 50227: case 50229:
        case 52936: case 54936: case 65000: case 65001:
            return true;
        default:
            return codePage >= 57002 && codePage <= 57011;
    }
}

}  // namespace

ConsoleEncoding ChooseConsoleEncoding(bool realConsole, std::uint32_t consoleCodePage,
                                      std::uint32_t ansiCodePage) {
    ConsoleEncoding encoding;
    if (realConsole) {
        encoding.wide = true;
        return encoding;
    }
    encoding.codePage = consoleCodePage != 0 ? consoleCodePage : ansiCodePage;
    encoding.replaceUnmappable = !TakesNoReplacement(encoding.codePage);
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
