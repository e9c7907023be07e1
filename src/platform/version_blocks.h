#pragma once
// The nested blocks of version data: length, value length, type, terminated key, value,
// children, each on a 4-byte boundary of the data.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/result.h"

namespace qor {

struct VersionBlock {
    std::size_t end = 0;            // one past the block
    std::size_t keyBegin = 0;
    std::size_t keyChars = 0;       // without the terminator
    std::size_t valueBegin = 0;
    std::size_t valueEnd = 0;       // the declared value cut to the block
    std::size_t childrenBegin = 0;
    bool text = false;
};

using VersionData = std::span<const std::uint8_t>;

// The block at `at`; rc::InvalidData unless it has 8 bytes or more, fits before `end` and
// has a terminated key.
[[nodiscard]] ResultCode ReadVersionBlock(VersionData data, std::size_t at, std::size_t end,
                                          VersionBlock& out) noexcept;

// Among the sibling blocks in [begin, end), the one named by `path`; "A/B" is B among the
// children of A. Keys match ignoring the case of A to Z only. rc::NotFound when missing.
[[nodiscard]] ResultCode FindVersionBlock(VersionData data, std::size_t begin, std::size_t end,
                                          std::wstring_view path, VersionBlock& out) noexcept;

// The key's characters.
std::wstring VersionBlockKey(VersionData data, const VersionBlock& block);

// The value as text without its terminator; rc::InvalidData for an odd number of bytes.
[[nodiscard]] ResultCode VersionBlockText(VersionData data, const VersionBlock& block,
                                          std::wstring& out) noexcept;

}  // namespace qor
