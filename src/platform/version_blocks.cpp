#include "platform/version_blocks.h"

#include <algorithm>
#include <new>

#include "common/text_encoding.h"

namespace qor {
namespace {

constexpr std::size_t kBlockHeader = 6;  // length, value length, type
constexpr std::size_t kMinBlock = 8;     // the header and an empty key
constexpr std::uint16_t kTextType = 1;

std::uint16_t Le16(VersionData data, std::size_t at) {
    return static_cast<std::uint16_t>(data[at] | data[at + 1] << 8);
}

constexpr std::size_t Align4(std::size_t at) { return (at + 3) & ~std::size_t{3}; }

wchar_t FoldAtoZ(std::uint32_t c) {
    return static_cast<wchar_t>(c >= L'A' && c <= L'Z' ? c + (L'a' - L'A') : c);
}

bool KeyMatches(VersionData data, const VersionBlock& block, std::wstring_view name) {
    if (block.keyChars != name.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const std::uint16_t c = Le16(data, block.keyBegin + 2 * i);
        if (FoldAtoZ(c) != FoldAtoZ(static_cast<std::uint32_t>(name[i]))) return false;
    }
    return true;
}

}  // namespace

ResultCode ReadVersionBlock(VersionData data, std::size_t at, std::size_t end,
                            VersionBlock& out) noexcept {
    end = std::min(end, data.size());
    if (at >= end || end - at < kMinBlock) return rc::InvalidData;
    const std::size_t length = Le16(data, at);
    if (length < kMinBlock || length > end - at) return rc::InvalidData;
    VersionBlock block;
    block.end = at + length;
    block.keyBegin = at + kBlockHeader;
    std::size_t key = block.keyBegin;
    while (key + 2 <= block.end && Le16(data, key) != 0) key += 2;
    if (key + 2 > block.end) return rc::InvalidData;
    block.keyChars = (key - block.keyBegin) / 2;
    block.text = Le16(data, at + 4) == kTextType;
    const std::size_t declared = std::size_t{Le16(data, at + 2)} * (block.text ? 2 : 1);
    block.valueBegin = std::min(Align4(key + 2), block.end);
    block.valueEnd = block.valueBegin + std::min(declared, block.end - block.valueBegin);
    block.childrenBegin = std::min(Align4(block.valueEnd), block.end);
    out = block;
    return rc::Ok;
}

ResultCode FindVersionBlock(VersionData data, std::size_t begin, std::size_t end,
                            std::wstring_view path, VersionBlock& out) noexcept {
    const std::size_t slash = path.find(L'/');
    const std::wstring_view name = path.substr(0, slash);
    for (std::size_t at = begin; at < end;) {
        VersionBlock block;
        if (const ResultCode result = ReadVersionBlock(data, at, end, block); Failed(result)) {
            return result;
        }
        if (KeyMatches(data, block, name)) {
            if (slash == std::wstring_view::npos) {
                out = block;
                return rc::Ok;
            }
            return FindVersionBlock(data, block.childrenBegin, block.end, path.substr(slash + 1),
                                    out);
        }
        at = Align4(block.end);
    }
    return rc::NotFound;
}

std::wstring VersionBlockKey(VersionData data, const VersionBlock& block) {
    return FromUtf16Le(data.data() + block.keyBegin, block.keyChars);
}

ResultCode VersionBlockText(VersionData data, const VersionBlock& block,
                            std::wstring& out) noexcept {
    const std::size_t bytes = block.valueEnd - block.valueBegin;
    if (bytes % 2 != 0) return rc::InvalidData;
    std::size_t units = bytes / 2;
    if (units > 0 && Le16(data, block.valueBegin + 2 * (units - 1)) == 0) --units;
    try {
        out = FromUtf16Le(data.data() + block.valueBegin, units);
        return rc::Ok;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

}  // namespace qor
