#pragma once
// Explicit conversions at byte boundaries: wchar_t is 16 bits on Windows, 32 on Linux.
#include <cstddef>
#include <string>
#include <string_view>

namespace qor {

// UTF-16 little-endian bytes; characters above U+FFFF become surrogate pairs.
std::string ToUtf16Le(std::wstring_view text);

// The reverse of ToUtf16Le for `units` 16-bit units; unpaired surrogates are kept as they are.
std::wstring FromUtf16Le(const unsigned char* bytes, std::size_t units);

// UTF-8; surrogate pairs are joined and an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);

// The reverse of ToUtf8: each byte of an invalid, overlong or cut-off sequence becomes U+FFFD;
// characters above U+FFFF become surrogate pairs where wchar_t is 16 bits.
std::wstring FromUtf8(std::string_view bytes);

}  // namespace qor
