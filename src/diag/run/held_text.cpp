#include "diag/run/held_text.h"

#include <new>
#include <utility>

namespace qor {

// Text that finds no memory is dropped: the console never learns of it either way.
void HeldText::Append(std::wstring_view text) noexcept {
    const std::lock_guard lock(mutex_);
    if (taken_) return;
    try {
        text_.append(text);
    } catch (const std::bad_alloc&) {
    }
}

std::wstring HeldText::Take() noexcept {
    const std::lock_guard lock(mutex_);
    taken_ = true;
    return std::move(text_);
}

}  // namespace qor
