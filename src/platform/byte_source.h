#pragma once
// Random access to the bytes of a file or of a buffer, bounds-checked.
#include <cstddef>
#include <cstdint>
#include <span>

#include "common/result.h"
#include "platform/fs.h"

namespace qor {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const noexcept = 0;
    // Exactly `size` bytes from `offset`; rc::MalformedImage when they reach past the end.
    [[nodiscard]] virtual ResultCode ReadAt(std::uint64_t offset, void* buffer,
                                            std::size_t size) noexcept = 0;
};

class MemoryByteSource final : public ByteSource {
public:
    explicit MemoryByteSource(std::span<const std::uint8_t> bytes) noexcept : bytes_(bytes) {}
    std::uint64_t Size() const noexcept override { return bytes_.size(); }
    [[nodiscard]] ResultCode ReadAt(std::uint64_t offset, void* buffer,
                                    std::size_t size) noexcept override;

private:
    std::span<const std::uint8_t> bytes_;
};

// Over an open file whose size is taken once, when the source is made.
class FileByteSource final : public ByteSource {
public:
    FileByteSource(fs::File& file, std::uint64_t size) noexcept : file_(file), size_(size) {}
    std::uint64_t Size() const noexcept override { return size_; }
    [[nodiscard]] ResultCode ReadAt(std::uint64_t offset, void* buffer,
                                    std::size_t size) noexcept override;

private:
    fs::File& file_;
    std::uint64_t size_;
};

// True when [offset, offset + size) lies within `total` bytes.
constexpr bool WithinSize(std::uint64_t offset, std::uint64_t size, std::uint64_t total) noexcept {
    return offset <= total && size <= total - offset;
}

}  // namespace qor
