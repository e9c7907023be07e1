#include "frontend/console_win.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "common/console_encoding.h"

namespace qor {
namespace {

// Whole pieces of at most this many characters; a surrogate pair is never split.
constexpr std::size_t kConsoleChunk = 4096;

void WriteWide(HANDLE console, std::wstring_view text) {
    while (!text.empty()) {
        std::size_t count = text.size() < kConsoleChunk ? text.size() : kConsoleChunk;
        if (count < text.size() && count > 1 && IS_HIGH_SURROGATE(text[count - 1])) --count;
        DWORD written = 0;
        if (!WriteConsoleW(console, text.data(), static_cast<DWORD>(count), &written, nullptr) ||
            written == 0) {
            return;
        }
        text.remove_prefix(written);
    }
}

// The C runtime's stream keeps turning "\n" into CR LF, as the console text always had.
void WriteBytes(const ConsoleEncoding& encoding, std::wstring_view text) {
    if (text.empty()) return;
    const DWORD flags = encoding.replaceUnmappable ? WC_NO_BEST_FIT_CHARS : 0;
    const char* replacement = encoding.replaceUnmappable ? "?" : nullptr;
    const int length = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(encoding.codePage, flags, text.data(), length, nullptr,
                                          0, replacement, nullptr);
    std::string converted(bytes > 0 ? static_cast<std::size_t>(bytes) : 0, '\0');
    if (bytes <= 0 || WideCharToMultiByte(encoding.codePage, flags, text.data(), length,
                                          converted.data(), bytes, replacement, nullptr) != bytes) {
        converted = AsciiWithReplacement(text);
    }
    std::fwrite(converted.data(), 1, converted.size(), stdout);
}

}  // namespace

void WinConsole::Write(std::wstring_view text) {
    std::fflush(stdout);
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    const bool realConsole = out && out != INVALID_HANDLE_VALUE && GetConsoleMode(out, &mode);
    const ConsoleEncoding encoding = ChooseConsoleEncoding(realConsole, GetConsoleOutputCP(), GetACP());
    if (encoding.wide) {
        WriteWide(out, text);
    } else {
        WriteBytes(encoding, text);
        std::fflush(stdout);
    }
}

int WinConsole::ReadByte() {
    const int byte = std::getc(stdin);
    return byte == EOF ? kEndOfInput : byte;
}

}  // namespace qor
