#include "platform/ansi_code_page.h"

namespace qor {

const char* DefaultCharacterFor(std::uint32_t codePage) noexcept {
    constexpr std::uint32_t kUtf7 = 65000, kUtf8 = 65001;
    return codePage == kUtf7 || codePage == kUtf8 ? nullptr : "?";
}

}  // namespace qor
