#include "common/text_format.h"

#include <cstdarg>
#include <cwchar>
#include <vector>

namespace qor {
namespace {
constexpr std::size_t kInitialChars = 256;
constexpr std::size_t kMaxChars = std::size_t{1} << 20;
}  // namespace

std::wstring FormatText(const wchar_t* format, ...) {
    std::vector<wchar_t> buffer(kInitialChars);
    while (buffer.size() <= kMaxChars) {
        va_list args;
        va_start(args, format);
        const int written = std::vswprintf(buffer.data(), buffer.size(), format, args);
        va_end(args);
        if (written >= 0 && static_cast<std::size_t>(written) < buffer.size()) {
            return std::wstring(buffer.data(), static_cast<std::size_t>(written));
        }
        buffer.resize(buffer.size() * 2);
    }
    return {};
}

}  // namespace qor
