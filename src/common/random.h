#pragma once
// The process's 48-bit linear congruential generator, shared under a spin lock.
#include <cstdint>
#include <span>

namespace qor {

class Random48 {
public:
    static constexpr std::uint64_t kInitialState = 0x1330E;

    // Mixes each byte in: state = step(state) + byte.
    void Seed(std::span<const std::uint8_t> bytes) noexcept;
    // The next 31-bit output.
    std::uint32_t Next() noexcept;

private:
    std::uint64_t state_ = kInitialState;
};

Random48& ProcessRandom() noexcept;

// ProcessRandom().Next(), serialised by a process-wide spin lock.
std::uint32_t NextRandom() noexcept;
void SeedRandom(std::span<const std::uint8_t> bytes) noexcept;

}  // namespace qor
