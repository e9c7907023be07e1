#pragma once
// The "PNP_TDI" load-order list: a little-endian 32-bit count, then that many 32-bit tags.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "common/result.h"

namespace qor {

using TagList = std::vector<std::uint32_t>;

// Read by its size: a value that is not 4 + 4 × count bytes long holds (size ÷ 4) − 1
// tags, whatever its count says; a value shorter than 8 bytes then holds none.
[[nodiscard]] ResultCode ParseTagList(std::span<const std::uint8_t> data, TagList& out) noexcept;

// The count and the tags, 4 + 4 × count bytes.
[[nodiscard]] ResultCode SerializeTagList(const TagList& tags,
                                          std::vector<std::uint8_t>& out) noexcept;

// Index of the first occurrence of `tag`.
std::optional<std::size_t> FindTag(const TagList& tags, std::uint32_t tag) noexcept;

}  // namespace qor
