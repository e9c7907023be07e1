#pragma once
#include "common/console.h"

namespace qor {

// The process console: WriteConsoleW on a real console, else text converted to the console's
// code page through the C runtime's stdout; getc on stdin. Flushed per write.
class WinConsole final : public Console {
public:
    void Write(std::wstring_view text) override;
    int ReadByte() override;
};

}  // namespace qor
