#pragma once
#include <string>

namespace qor {

// printf-style formatting into a wide string; wide string arguments are written "%ls".
// Gives an empty text for a format that cannot be rendered within 1 Mi characters.
std::wstring FormatText(const wchar_t* format, ...);

}  // namespace qor
