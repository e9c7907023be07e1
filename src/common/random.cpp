#include "common/random.h"

#include <atomic>
#include <thread>

namespace qor {
namespace {

constexpr std::uint64_t kMask48 = (std::uint64_t{1} << 48) - 1;

std::uint64_t Step(std::uint64_t state) noexcept { return (state * 0x5DEECE66Dull + 11) & kMask48; }

std::atomic_flag g_lock;

class SpinLock {
public:
    SpinLock() noexcept {
        while (g_lock.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
    }
    ~SpinLock() { g_lock.clear(std::memory_order_release); }
    SpinLock(const SpinLock&) = delete;
    SpinLock& operator=(const SpinLock&) = delete;
};

}  // namespace

void Random48::Seed(std::span<const std::uint8_t> bytes) noexcept {
    for (const std::uint8_t byte : bytes) state_ = (Step(state_) + byte) & kMask48;
}

std::uint32_t Random48::Next() noexcept {
    state_ = Step(state_);
    return static_cast<std::uint32_t>(state_ >> 17);
}

Random48& ProcessRandom() noexcept {
    static Random48 random;
    return random;
}

std::uint32_t NextRandom() noexcept {
    const SpinLock lock;
    return ProcessRandom().Next();
}

void SeedRandom(std::span<const std::uint8_t> bytes) noexcept {
    const SpinLock lock;
    ProcessRandom().Seed(bytes);
}

}  // namespace qor
