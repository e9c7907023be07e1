#include "frontend/console_win.h"

#include <cstdio>
#include <cwchar>

namespace qor {

void WinConsole::Write(std::wstring_view text) {
    std::wprintf(L"%.*ls", static_cast<int>(text.size()), text.data());
    std::fflush(stdout);
}

int WinConsole::ReadByte() {
    const int byte = std::getc(stdin);
    return byte == EOF ? kEndOfInput : byte;
}

}  // namespace qor
