#pragma once
// Turns the 32-bit file-system redirection off and on around steps that must see the
// native system. Usable only in a 32-bit process on a 64-bit system.
#include <cstdint>
#include <functional>

#include "common/result.h"

namespace qor {

class FsRedirection {
public:
    static constexpr std::uint64_t kNoState = ~std::uint64_t{0};

    // Calls the system with a value (1 off, 0 on, or a saved state) and gives the
    // previous state; returns a result code.
    using Toggle = std::function<ResultCode(std::uint64_t value, std::uint64_t& previous)>;

    FsRedirection() = default;  // not usable
    explicit FsRedirection(Toggle toggle) : toggle_(std::move(toggle)) {}
    FsRedirection(const FsRedirection&) = delete;
    FsRedirection& operator=(const FsRedirection&) = delete;
    ~FsRedirection();

    bool Usable() const noexcept { return static_cast<bool>(toggle_); }
    // rc::NotSupported, without calling anything, when not usable.
    [[nodiscard]] ResultCode Disable();
    [[nodiscard]] ResultCode Revert();

private:
    [[nodiscard]] ResultCode Call(std::uint64_t value);

    Toggle toggle_;
    std::uint64_t savedState_ = kNoState;
};

}  // namespace qor
