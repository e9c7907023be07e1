#include "platform/ansi_code_page.h"

#include "common/text_encoding.h"

namespace qor {

const char* DefaultCharacterFor(std::uint32_t codePage) noexcept {
    return CodePageRefusesDefaultCharacter(codePage) ? nullptr : "?";
}

}  // namespace qor
