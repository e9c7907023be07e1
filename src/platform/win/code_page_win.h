#pragma once
// Text in a code page of the system's, through its own conversion.
#include <windows.h>

#include <string>
#include <string_view>

#include "common/result.h"

namespace qor {

// `out` is left as it was when the conversion fails.
[[nodiscard]] ResultCode FromCodePage(UINT codePage, std::string_view bytes, std::wstring& out);

}  // namespace qor
