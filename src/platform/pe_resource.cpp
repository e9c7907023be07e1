#include "platform/pe_resource.h"

#include <algorithm>
#include <array>
#include <new>

namespace qor {
namespace {

constexpr std::uint16_t kDosMagic = 0x5A4D;         // "MZ"
constexpr std::uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::size_t kDosHeaderSize = 64;
constexpr std::size_t kFileHeaderSize = 20;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kOptionalHeaderRead = 240;  // PE32+ with all sixteen directories
constexpr std::uint32_t kResourceDirectory = 2;
constexpr std::uint32_t kVersionType = 16;
constexpr std::uint32_t kSubdirectoryFlag = 0x80000000u;
constexpr std::uint64_t kHeaderPage = 4096;
// Type, name and language make two steps down; anything much deeper is a loop.
constexpr int kMaxDescents = 8;

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

struct Section {
    std::uint32_t virtualAddress = 0;
    std::uint32_t virtualSize = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t rawOffset = 0;
};

struct DirectoryEntry {
    std::uint32_t name = 0;
    std::uint32_t offsetToData = 0;
};

class ImageReader {
public:
    explicit ImageReader(ByteSource& image) noexcept : image_(image) {}

    [[nodiscard]] ResultCode ReadHeaders(std::uint32_t& resourceRva);
    // File offset of a relative address.
    [[nodiscard]] ResultCode Translate(std::uint64_t rva, std::uint64_t& offset) const noexcept;
    [[nodiscard]] ResultCode ReadAtRva(std::uint64_t rva, void* buffer, std::size_t size) noexcept;
    // The entries of the resource directory at `rva`: all of them, or only the first.
    [[nodiscard]] ResultCode ReadDirectory(std::uint64_t rva, bool firstOnly,
                                           std::vector<DirectoryEntry>& out);

private:
    [[nodiscard]] ResultCode ReadSections(std::uint64_t at, std::uint16_t count);

    ByteSource& image_;
    std::vector<Section> sections_;
    std::uint64_t headerLimit_ = 0;
    std::uint32_t imageSize_ = 0;
};

ResultCode ImageReader::ReadHeaders(std::uint32_t& resourceRva) {
    std::array<std::uint8_t, kDosHeaderSize> dos;
    if (Failed(image_.ReadAt(0, dos.data(), dos.size())) || Le16(dos.data()) != kDosMagic) {
        return rc::MalformedImage;
    }
    const std::uint64_t pe = Le32(dos.data() + 0x3C);
    std::array<std::uint8_t, 4 + kFileHeaderSize> nt;
    if (Failed(image_.ReadAt(pe, nt.data(), nt.size())) || Le32(nt.data()) != kPeSignature) {
        return rc::MalformedImage;
    }
    const std::uint16_t sectionCount = Le16(nt.data() + 4 + 2);
    const std::uint16_t optionalSize = Le16(nt.data() + 4 + 16);
    const std::uint64_t optionalAt = pe + nt.size();

    std::array<std::uint8_t, kOptionalHeaderRead> optional{};
    const std::size_t readable = std::min<std::size_t>(optionalSize, optional.size());
    if (readable < 64 || Failed(image_.ReadAt(optionalAt, optional.data(), readable))) {
        return rc::MalformedImage;
    }
    std::size_t countAt = 0;
    switch (Le16(optional.data())) {
        case kPe32Magic: countAt = 92; break;
        case kPe32PlusMagic: countAt = 108; break;
        default: return rc::MalformedImage;
    }
    imageSize_ = Le32(optional.data() + 56);
    headerLimit_ = (std::uint64_t{Le32(optional.data() + 60)} + kHeaderPage - 1) / kHeaderPage *
                   kHeaderPage;
    if (const ResultCode result = ReadSections(optionalAt + optionalSize, sectionCount);
        Failed(result)) {
        return result;
    }
    const std::size_t directoryAt = countAt + 4 + kResourceDirectory * 8;
    if (countAt + 4 > readable || Le32(optional.data() + countAt) <= kResourceDirectory ||
        directoryAt + 8 > readable) {
        return rc::NotFound;
    }
    const std::uint32_t rva = Le32(optional.data() + directoryAt);
    if (rva == 0) return rc::NotFound;
    resourceRva = rva;
    return rc::Ok;
}

ResultCode ImageReader::ReadSections(std::uint64_t at, std::uint16_t count) {
    const std::size_t bytes = std::size_t{count} * kSectionHeaderSize;
    if (!WithinSize(at, bytes, image_.Size())) return rc::MalformedImage;
    std::vector<std::uint8_t> table(bytes);
    if (const ResultCode result = image_.ReadAt(at, table.data(), bytes); Failed(result)) {
        return result;
    }
    sections_.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* header = table.data() + i * kSectionHeaderSize;
        sections_[i] = Section{Le32(header + 12), Le32(header + 8), Le32(header + 16),
                               Le32(header + 20)};
    }
    return rc::Ok;
}

ResultCode ImageReader::Translate(std::uint64_t rva, std::uint64_t& offset) const noexcept {
    for (const Section& section : sections_) {
        if (rva < section.virtualAddress) continue;
        const std::uint64_t distance = rva - section.virtualAddress;
        if (distance >= std::max(section.virtualSize, section.rawSize)) continue;
        // In the section, but only its raw data lies in the file.
        if (distance >= section.rawSize) return rc::MalformedImage;
        offset = section.rawOffset + distance;
        return rc::Ok;
    }
    if (rva < headerLimit_ || (sections_.empty() && rva < imageSize_)) {
        offset = rva;
        return rc::Ok;
    }
    return rc::MalformedImage;
}

ResultCode ImageReader::ReadAtRva(std::uint64_t rva, void* buffer, std::size_t size) noexcept {
    std::uint64_t offset = 0;
    if (const ResultCode result = Translate(rva, offset); Failed(result)) return result;
    return image_.ReadAt(offset, buffer, size);
}

ResultCode ImageReader::ReadDirectory(std::uint64_t rva, bool firstOnly,
                                      std::vector<DirectoryEntry>& out) {
    std::array<std::uint8_t, 16> header;
    if (const ResultCode result = ReadAtRva(rva, header.data(), header.size()); Failed(result)) {
        return result;
    }
    std::size_t count = std::size_t{Le16(header.data() + 12)} + Le16(header.data() + 14);
    if (firstOnly) count = std::min<std::size_t>(count, 1);
    std::vector<std::uint8_t> raw(count * 8);
    if (count != 0) {
        if (const ResultCode result = ReadAtRva(rva + header.size(), raw.data(), raw.size());
            Failed(result)) {
            return result;
        }
    }
    out.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = DirectoryEntry{Le32(raw.data() + i * 8), Le32(raw.data() + i * 8 + 4)};
    }
    return rc::Ok;
}

// Down from the version type's entry, always through the first entry, to the data entry.
ResultCode FindVersionData(ImageReader& reader, std::uint32_t resourceRva,
                           std::uint32_t& dataEntryOffset) {
    std::vector<DirectoryEntry> entries;
    if (const ResultCode result = reader.ReadDirectory(resourceRva, false, entries);
        Failed(result)) {
        return result;
    }
    const auto version = std::find_if(entries.begin(), entries.end(), [](const DirectoryEntry& e) {
        return e.name == kVersionType;
    });
    if (version == entries.end()) return rc::NotFound;
    std::uint32_t next = version->offsetToData;
    if ((next & kSubdirectoryFlag) == 0) return rc::MalformedImage;
    for (int descents = 0; (next & kSubdirectoryFlag) != 0; ++descents) {
        if (descents == kMaxDescents) return rc::MalformedImage;
        const std::uint64_t at = std::uint64_t{resourceRva} + (next & ~kSubdirectoryFlag);
        if (const ResultCode result = reader.ReadDirectory(at, true, entries); Failed(result)) {
            return result;
        }
        if (entries.empty()) return rc::MalformedImage;
        next = entries.front().offsetToData;
    }
    dataEntryOffset = next;
    return rc::Ok;
}

ResultCode ReadResource(std::vector<std::uint8_t>& out, ByteSource& image) {
    ImageReader reader(image);
    std::uint32_t resourceRva = 0;
    if (const ResultCode result = reader.ReadHeaders(resourceRva); Failed(result)) return result;
    std::uint32_t dataEntryOffset = 0;
    if (const ResultCode result = FindVersionData(reader, resourceRva, dataEntryOffset);
        Failed(result)) {
        return result;
    }
    std::array<std::uint8_t, 16> dataEntry;
    if (const ResultCode result = reader.ReadAtRva(std::uint64_t{resourceRva} + dataEntryOffset,
                                                   dataEntry.data(), dataEntry.size());
        Failed(result)) {
        return result;
    }
    const std::uint32_t size = Le32(dataEntry.data() + 4);
    std::uint64_t offset = 0;
    if (size == 0 || Failed(reader.Translate(Le32(dataEntry.data()), offset)) ||
        !WithinSize(offset, size, image.Size())) {
        return rc::MalformedImage;
    }
    std::vector<std::uint8_t> bytes(size);
    if (const ResultCode result = image.ReadAt(offset, bytes.data(), bytes.size());
        Failed(result)) {
        return result;
    }
    out = std::move(bytes);
    return rc::Ok;
}

}  // namespace

ResultCode ReadVersionResource(ByteSource& image, std::vector<std::uint8_t>& out) noexcept {
    try {
        return ReadResource(out, image);
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

}  // namespace qor
