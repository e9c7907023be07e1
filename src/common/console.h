#pragma once
#include <string_view>

namespace qor {

inline constexpr int kEndOfInput = -1;

// The text console: wide text out, one byte at a time in.
class Console {
public:
    virtual ~Console() = default;
    virtual void Write(std::wstring_view text) = 0;
    // A byte 0..255, or kEndOfInput.
    virtual int ReadByte() = 0;
};

}  // namespace qor
