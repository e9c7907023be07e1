#pragma once
// Text in the system's ANSI code page; on POSIX that is Windows-1252.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/result.h"

namespace qor {

[[nodiscard]] ResultCode FromAnsiCodePage(std::string_view bytes, std::wstring& out);
// Characters the code page cannot hold become "?" (in UTF-8 every character has bytes).
[[nodiscard]] ResultCode ToAnsiCodePage(std::wstring_view text, std::string& out);

// Which bytes of a code page begin a two-byte character (932, 936, 949, 950 and the like).
using LeadByteTable = std::array<bool, 256>;
// The lead bytes of the ANSI code page; none on POSIX.
const LeadByteTable& AnsiLeadBytes() noexcept;

// The default character the system's conversion may be given for `codePage`: none where the
// conversion refuses one (UTF-7, UTF-8 and the others of CodePageRefusesDefaultCharacter).
const char* DefaultCharacterFor(std::uint32_t codePage) noexcept;

}  // namespace qor
