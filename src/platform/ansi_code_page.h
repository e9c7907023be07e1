#pragma once
// Text in the system's ANSI code page; on POSIX that is Windows-1252.
#include <cstdint>
#include <string>
#include <string_view>

#include "common/result.h"

namespace qor {

[[nodiscard]] ResultCode FromAnsiCodePage(std::string_view bytes, std::wstring& out);
// Characters the code page cannot hold become "?" (in UTF-8 every character has bytes).
[[nodiscard]] ResultCode ToAnsiCodePage(std::wstring_view text, std::string& out);

// The default character the system's conversion may be given for `codePage`: none where the
// conversion refuses one (UTF-7, UTF-8 and the others of CodePageRefusesDefaultCharacter).
const char* DefaultCharacterFor(std::uint32_t codePage) noexcept;

}  // namespace qor
