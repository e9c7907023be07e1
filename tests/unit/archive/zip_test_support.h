#pragma once
// Temporary trees and an independent parser of the archive bytes.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace qor::test {

namespace stdfs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A fresh directory, removed with everything in it.
class TempDir {
public:
    TempDir()
        : path_(stdfs::temp_directory_path() /
                ("qor-zip-" + std::to_string(std::random_device()()))) {
        stdfs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        for (const auto& entry : stdfs::recursive_directory_iterator(path_, ignored)) {
            stdfs::permissions(entry.path(), stdfs::perms::owner_write, stdfs::perm_options::add,
                               ignored);
        }
        stdfs::remove_all(path_, ignored);
    }
    const stdfs::path& Path() const { return path_; }
    stdfs::path operator/(const stdfs::path& name) const { return path_ / name; }

private:
    stdfs::path path_;
};

inline void WriteBytes(const stdfs::path& path, const std::string& content) {
    stdfs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

inline Bytes ReadBytes(const stdfs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string text(size, '\0');
    for (char& c : text) c = static_cast<char>(generator());
    return text;
}

struct ParsedEntry {
    std::uint16_t madeBy = 0, needed = 0, flags = 0, method = 0, time = 0, date = 0;
    std::uint32_t crc = 0, packedSize = 0, size = 0, external = 0, offset = 0;
    std::string name;
    std::string localExtra, centralExtra;
    Bytes packed;  // the entry's data as it lies in the file

    // Stored or inflated data; the CRC-32 and size are checked on the way.
    std::string Content() const {
        std::string out(packed.begin(), packed.end());
        if (method == 8) {
            out.assign(size + 1, '\0');
            z_stream stream{};
            inflateInit2(&stream, -MAX_WBITS);
            stream.next_in = const_cast<Bytef*>(packed.data());
            stream.avail_in = static_cast<uInt>(packed.size());
            stream.next_out = reinterpret_cast<Bytef*>(out.data());
            stream.avail_out = static_cast<uInt>(out.size());
            EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END) << name;
            EXPECT_EQ(stream.avail_in, 0u) << name;
            out.resize(stream.total_out);
            inflateEnd(&stream);
        }
        EXPECT_EQ(out.size(), size) << name;
        const auto* data = reinterpret_cast<const Bytef*>(out.data());
        EXPECT_EQ(crc32(0, data, static_cast<uInt>(out.size())), crc) << name;
        return out;
    }
};

struct ParsedArchive {
    std::size_t fileSize = 0;
    std::uint32_t centralSize = 0, centralOffset = 0;
    std::vector<ParsedEntry> entries;

    const ParsedEntry& Find(const std::string& name) const {
        for (const auto& entry : entries) {
            if (entry.name == name) return entry;
        }
        ADD_FAILURE() << "no entry " << name;
        static const ParsedEntry none;
        return none;
    }
};

class ByteReader {
public:
    ByteReader(const Bytes& bytes, std::size_t at) : bytes_(bytes), at_(at) {}
    bool Has(std::size_t count) const { return at_ + count <= bytes_.size(); }
    std::uint16_t U16() {
        const unsigned low = bytes_.at(at_++);
        return static_cast<std::uint16_t>(low | bytes_.at(at_++) << 8);
    }
    std::uint32_t U32() { return U16() | static_cast<std::uint32_t>(U16()) << 16; }
    Bytes Take(std::size_t count) {
        at_ += count;
        return Bytes(bytes_.begin() + static_cast<std::ptrdiff_t>(at_ - count),
                     bytes_.begin() + static_cast<std::ptrdiff_t>(at_));
    }
    std::string Text(std::size_t count) {
        const Bytes raw = Take(count);
        return std::string(raw.begin(), raw.end());
    }
    std::size_t At() const { return at_; }

private:
    const Bytes& bytes_;
    std::size_t at_;
};

// Reads the archive from its end record as a reader would, and checks that every local header
// repeats its central header. Fails the test when the archive is malformed.
inline void ParseArchive(const stdfs::path& path, ParsedArchive& out) {
    const Bytes bytes = ReadBytes(path);
    out.fileSize = bytes.size();
    ASSERT_GE(bytes.size(), 22u);
    ByteReader end(bytes, bytes.size() - 22);
    ASSERT_EQ(end.U32(), 0x06054B50u) << "end record";
    ASSERT_EQ(end.U32(), 0u) << "disk numbers";
    const std::uint16_t count = end.U16();
    ASSERT_EQ(end.U16(), count);
    out.centralSize = end.U32();
    out.centralOffset = end.U32();
    ASSERT_EQ(end.U16(), 0) << "comment length";
    ASSERT_EQ(std::size_t{out.centralOffset} + out.centralSize, bytes.size() - 22);

    ByteReader central(bytes, out.centralOffset);
    for (unsigned i = 0; i < count; ++i) {
        ParsedEntry e;
        const std::size_t start = central.At();
        ASSERT_TRUE(central.Has(46));
        ASSERT_EQ(central.U32(), 0x02014B50u) << "central header " << i;
        e.madeBy = central.U16();
        e.needed = central.U16();
        e.flags = central.U16();
        e.method = central.U16();
        e.time = central.U16();
        e.date = central.U16();
        e.crc = central.U32();
        e.packedSize = central.U32();
        e.size = central.U32();
        const std::uint16_t nameLength = central.U16();
        const std::uint16_t extraLength = central.U16();
        EXPECT_EQ(central.U32(), 0u) << "comment length, disk number start";
        EXPECT_EQ(central.U16(), 0) << "internal attributes";
        e.external = central.U32();
        e.offset = central.U32();
        ASSERT_TRUE(central.Has(nameLength + extraLength));
        e.name = central.Text(nameLength);
        e.centralExtra = central.Text(extraLength);

        ByteReader local(bytes, e.offset);
        ASSERT_TRUE(local.Has(30 + nameLength));
        ASSERT_EQ(local.U32(), 0x04034B50u) << "local header of " << e.name;
        // Version needed up to the name length: the same bytes as in the central header.
        EXPECT_EQ(local.Take(24), Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(start + 6),
                                        bytes.begin() + static_cast<std::ptrdiff_t>(start + 30)))
            << "local header of " << e.name;
        const std::uint16_t localExtraLength = local.U16();
        ASSERT_EQ(local.Text(nameLength), e.name);
        ASSERT_TRUE(local.Has(localExtraLength + std::size_t{e.packedSize}));
        e.localExtra = local.Text(localExtraLength);
        e.packed = local.Take(e.packedSize);
        ASSERT_LE(local.At(), out.centralOffset) << "data of " << e.name;
        out.entries.push_back(std::move(e));
    }
}

}  // namespace qor::test
