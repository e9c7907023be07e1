#pragma once
// Text in a code page of the system's, through its own conversion.
#include <windows.h>

#include <string>
#include <string_view>

#include "common/result.h"
#include "platform/ansi_code_page.h"

namespace qor {

// `out` is left as it was when the conversion fails.
[[nodiscard]] ResultCode FromCodePage(UINT codePage, std::string_view bytes, std::wstring& out);
// Characters the code page cannot hold become its default character, where it takes one.
[[nodiscard]] ResultCode ToCodePage(UINT codePage, std::wstring_view text, std::string& out);
// The bytes that begin a two-byte character of the code page.
[[nodiscard]] LeadByteTable LeadBytesOf(UINT codePage) noexcept;

}  // namespace qor
