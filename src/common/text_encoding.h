#pragma once
// Explicit conversions at byte boundaries: wchar_t is 16 bits on Windows, 32 on Linux.
#include <string>
#include <string_view>

namespace qor {

// UTF-16 little-endian bytes; characters above U+FFFF become surrogate pairs.
std::string ToUtf16Le(std::wstring_view text);

// UTF-8; surrogate pairs are joined and an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);

}  // namespace qor
