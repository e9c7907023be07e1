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

// The default character the system's conversion may be given for `codePage`: none for UTF-7
// (65000) and UTF-8 (65001), which refuse one.
const char* DefaultCharacterFor(std::uint32_t codePage) noexcept;

}  // namespace qor
