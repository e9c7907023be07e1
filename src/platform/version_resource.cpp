#include "platform/version_resource.h"

#include <new>

#include "common/text_format.h"
#include "platform/fs.h"
#include "platform/pe_resource.h"
#include "platform/version_blocks.h"

namespace qor {
namespace {

constexpr const wchar_t* kRootKey = L"VS_VERSION_INFO";
constexpr std::uint32_t kFixedSignature = 0xFEEF04BDu;
constexpr std::size_t kFixedInfoSize = 52;
constexpr std::size_t kTableKeyChars = 8;

std::uint32_t Le32(VersionData data, std::size_t at) {
    return static_cast<std::uint32_t>(data[at]) | static_cast<std::uint32_t>(data[at + 1]) << 8 |
           static_cast<std::uint32_t>(data[at + 2]) << 16 |
           static_cast<std::uint32_t>(data[at + 3]) << 24;
}

// Eight hexadecimal digits: the language above, the code page below.
bool ParseTableKey(const std::wstring& key, FileVersionInfo& info) {
    if (key.size() != kTableKeyChars) return false;
    std::uint32_t value = 0;
    for (const wchar_t c : key) {
        std::uint32_t digit;
        if (c >= L'0' && c <= L'9') digit = static_cast<std::uint32_t>(c - L'0');
        else if (c >= L'a' && c <= L'f') digit = static_cast<std::uint32_t>(c - L'a' + 10);
        else if (c >= L'A' && c <= L'F') digit = static_cast<std::uint32_t>(c - L'A' + 10);
        else return false;
        value = value << 4 | digit;
    }
    info.language = static_cast<std::uint16_t>(value >> 16);
    info.codePage = static_cast<std::uint16_t>(value & 0xFFFF);
    return true;
}

ResultCode ParseStrings(VersionData data, FileVersionInfo& out) {
    VersionBlock root, files;
    ResultCode result = FindVersionBlock(data, 0, data.size(), kRootKey, root);
    if (Failed(result)) return result;
    result = FindVersionBlock(data, root.childrenBegin, root.end, L"StringFileInfo", files);
    if (Failed(result)) return result;
    if (files.childrenBegin >= files.end) return rc::NotFound;
    VersionBlock table;
    result = ReadVersionBlock(data, files.childrenBegin, files.end, table);
    if (Failed(result)) return result;
    FileVersionInfo info;
    if (!ParseTableKey(VersionBlockKey(data, table), info)) return rc::InvalidData;
    for (std::size_t i = 0; i < kVersionTextCount; ++i) {
        VersionBlock value;
        result = FindVersionBlock(data, table.childrenBegin, table.end, kVersionTextKeys[i], value);
        if (result == rc::NotFound) continue;
        if (Failed(result)) return result;
        result = VersionBlockText(data, value, info.texts[i]);
        if (Failed(result)) return result;
    }
    out = std::move(info);
    return rc::Ok;
}

}  // namespace

ResultCode VersionResourceReader::OpenForVersion(const std::wstring& path) noexcept {
    fs::File file;
    if (const ResultCode result = fs::OpenNativeForReading(path, file); Failed(result)) {
        return result;
    }
    fs::FileInfo info;
    if (const ResultCode result = file.Info(info); Failed(result)) return result;
    FileByteSource image(file, info.size);
    return Load(image);
}

ResultCode VersionResourceReader::Load(ByteSource& image) noexcept {
    return ReadVersionResource(image, resource_);
}

ResultCode VersionResourceReader::ReadStrings(FileVersionInfo& out) const noexcept {
    try {
        return ParseStrings(resource_, out);
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

ResultCode VersionResourceReader::GetFileVersionText(std::wstring& out) const noexcept {
    const VersionData data = resource_;
    VersionBlock root;
    if (const ResultCode result = FindVersionBlock(data, 0, data.size(), kRootKey, root);
        Failed(result)) {
        return result;
    }
    const std::size_t size = root.valueEnd - root.valueBegin;
    if (size < kFixedInfoSize || size % 2 != 0 || Le32(data, root.valueBegin) != kFixedSignature) {
        return rc::InvalidData;
    }
    const std::uint32_t high = Le32(data, root.valueBegin + 8);
    const std::uint32_t low = Le32(data, root.valueBegin + 12);
    try {
        out = FormatText(L"%d.%d.%d.%d", static_cast<int>(high >> 16),
                         static_cast<int>(high & 0xFFFF), static_cast<int>(low >> 16),
                         static_cast<int>(low & 0xFFFF));
        return rc::Ok;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

}  // namespace qor
