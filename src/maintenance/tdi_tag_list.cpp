#include "maintenance/tdi_tag_list.h"

#include <algorithm>
#include <limits>
#include <new>

namespace qor {
namespace {

std::uint32_t ReadLe32(std::span<const std::uint8_t> data, std::size_t offset) noexcept {
    return std::uint32_t{data[offset]} | std::uint32_t{data[offset + 1]} << 8 |
           std::uint32_t{data[offset + 2]} << 16 | std::uint32_t{data[offset + 3]} << 24;
}

void AppendLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

}  // namespace

ResultCode ParseTagList(std::span<const std::uint8_t> data, TagList& out) noexcept {
    std::size_t count = 0;
    if (data.size() >= 4) {
        const std::uint64_t declared = ReadLe32(data, 0);
        const bool exact = 4 + 4 * declared == data.size();
        count = exact ? static_cast<std::size_t>(declared) : data.size() / 4 - 1;
    }
    try {
        TagList tags;
        tags.reserve(count);
        for (std::size_t i = 0; i < count; ++i) tags.push_back(ReadLe32(data, 4 + 4 * i));
        out.swap(tags);
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
    return rc::Ok;
}

ResultCode SerializeTagList(const TagList& tags, std::vector<std::uint8_t>& out) noexcept {
    constexpr std::size_t kMaxTags = (std::numeric_limits<std::uint32_t>::max() - 4) / 4;
    if (tags.size() > kMaxTags) return rc::BadLength;
    try {
        std::vector<std::uint8_t> bytes;
        bytes.reserve(4 + 4 * tags.size());
        AppendLe32(bytes, static_cast<std::uint32_t>(tags.size()));
        for (const std::uint32_t tag : tags) AppendLe32(bytes, tag);
        out.swap(bytes);
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
    return rc::Ok;
}

std::optional<std::size_t> FindTag(const TagList& tags, std::uint32_t tag) noexcept {
    const auto found = std::find(tags.begin(), tags.end(), tag);
    if (found == tags.end()) return std::nullopt;
    return static_cast<std::size_t>(found - tags.begin());
}

}  // namespace qor
