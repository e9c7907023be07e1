#pragma once
// Turns the 32-bit file-system redirection off and on around steps that must see the
// native system. Usable only in a 32-bit process on a 64-bit system.
#include <cstdint>
#include <functional>

#include "common/result.h"

namespace qor {

// The redirection is the calling thread's: each step thread that turns it off turns it on
// again itself. Nothing is restored at the end: the step threads go with the run, and the
// thread that drops this object never had its redirection changed.
class FsRedirection {
public:
    // Calls the system with a value (1 off, 0 on) and gives the previous state; returns a
    // result code.
    using Toggle = std::function<ResultCode(std::uint64_t value, std::uint64_t& previous)>;

    FsRedirection() = default;  // not usable
    explicit FsRedirection(Toggle toggle) : toggle_(std::move(toggle)) {}
    FsRedirection(const FsRedirection&) = delete;
    FsRedirection& operator=(const FsRedirection&) = delete;

    bool Usable() const noexcept { return static_cast<bool>(toggle_); }
    // rc::NotSupported, without calling anything, when not usable.
    [[nodiscard]] ResultCode Disable() const { return Call(1); }
    [[nodiscard]] ResultCode Revert() const { return Call(0); }

private:
    [[nodiscard]] ResultCode Call(std::uint64_t value) const {
        if (!Usable()) return rc::NotSupported;
        std::uint64_t previous = 0;
        return toggle_(value, previous);
    }

    Toggle toggle_;
};

}  // namespace qor
