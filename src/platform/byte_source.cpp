#include "platform/byte_source.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace qor {

ResultCode MemoryByteSource::ReadAt(std::uint64_t offset, void* buffer,
                                    std::size_t size) noexcept {
    if (!WithinSize(offset, size, bytes_.size())) return rc::MalformedImage;
    if (size != 0) std::memcpy(buffer, bytes_.data() + offset, size);
    return rc::Ok;
}

ResultCode FileByteSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) noexcept {
    if (!WithinSize(offset, size, size_)) return rc::MalformedImage;
    if (size == 0) return rc::Ok;
    if (const ResultCode sought = file_.SeekFromStart(offset); Failed(sought)) return sought;
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    while (size > 0) {
        const auto chunk = static_cast<std::uint32_t>(
            std::min<std::size_t>(size, std::numeric_limits<std::uint32_t>::max()));
        std::uint32_t read = 0;
        if (const ResultCode result = file_.Read(bytes, chunk, read); Failed(result)) return result;
        if (read == 0) return rc::MalformedImage;  // the file became shorter
        bytes += read;
        size -= read;
    }
    return rc::Ok;
}

}  // namespace qor
