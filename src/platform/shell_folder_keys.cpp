#include "platform/shell_folder_keys.h"

#include <algorithm>
#include <cwctype>

namespace qor {

std::size_t FindProfileVariable(const std::wstring& text, std::size_t from) {
    if (from > text.size()) return std::wstring::npos;
    const auto same = [](wchar_t a, wchar_t b) { return std::towupper(a) == std::towupper(b); };
    const auto at = std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(),
                                kProfileVariable.begin(), kProfileVariable.end(), same);
    return at == text.end() ? std::wstring::npos : static_cast<std::size_t>(at - text.begin());
}

}  // namespace qor
