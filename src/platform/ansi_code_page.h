#pragma once
// Text in the system's ANSI code page; on POSIX that is Windows-1252.
#include <string>
#include <string_view>

#include "common/result.h"

namespace qor {

[[nodiscard]] ResultCode FromAnsiCodePage(std::string_view bytes, std::wstring& out);
// Characters the code page cannot hold become "?".
[[nodiscard]] ResultCode ToAnsiCodePage(std::wstring_view text, std::string& out);

}  // namespace qor
