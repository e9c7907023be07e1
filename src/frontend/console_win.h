#pragma once
#include "common/console.h"

namespace qor {

// The process console through the C runtime: wprintf and getc on stdin, flushed per write.
class WinConsole final : public Console {
public:
    void Write(std::wstring_view text) override;
    int ReadByte() override;
};

}  // namespace qor
