#pragma once
// Explicit conversions at byte boundaries: wchar_t is 16 bits on Windows, 32 on Linux.
#include <cstddef>
#include <cstdint>
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

// The code pages whose conversion from wide text refuses a default (replacement) character:
// symbol, the ISO-2022 and ISCII families, GB18030, UTF-7 and UTF-8.
bool CodePageRefusesDefaultCharacter(std::uint32_t codePage) noexcept;

}  // namespace qor
