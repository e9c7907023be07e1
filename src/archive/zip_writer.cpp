#include "archive/zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <ctime>
#include <new>
#include <utility>
#include <vector>

#include "archive/zip_data_pump.h"
#include "archive/zip_format.h"
#include "archive/zip_prepared_file.h"
#include "platform/fs.h"

namespace qor::zip {
namespace {

constexpr std::uint32_t kLocalHeaderSize = 30;
constexpr std::uint32_t kCentralHeaderSize = 46;
constexpr std::uint32_t kEndRecordSize = 22;
constexpr std::uint16_t kLocalExtraSize = 17;
constexpr std::uint16_t kCentralExtraSize = 9;
constexpr std::uint16_t kVersionMadeBy = 0x0B17;  // host 11, ZIP format version 2.3
constexpr std::uint16_t kVersionNeeded = 20;
constexpr std::uint16_t kFlagMaximumCompression = 0x0002;
constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint16_t kExtendedTimestamp = 0x5455;  // "UT"
constexpr std::uint8_t kAllThreeTimes = 7;
constexpr std::size_t kMaxEntries = 0xFFFF;
constexpr std::int64_t kUnixEpochAsFileTime = 116444736000000000;
constexpr std::int64_t kTicksPerSecond = 10000000;

struct Entry {
    std::string name;  // UTF-8
    std::uint16_t flags = 0;
    std::uint16_t method = kStored;
    DosDateTime dos;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::uint32_t externalAttributes = 0;
    std::uint32_t localOffset = 0;
    std::uint32_t modified = 0;  // seconds since 1970
    std::uint32_t accessed = 0;
    std::uint32_t created = 0;

    std::uint32_t LocalSize() const {
        return kLocalHeaderSize + static_cast<std::uint32_t>(name.size()) + kLocalExtraSize;
    }
    std::uint32_t CentralSize() const {
        return kCentralHeaderSize + static_cast<std::uint32_t>(name.size()) + kCentralExtraSize;
    }
};

// Little-endian bytes of one header, its name and extra field.
class HeaderBytes {
public:
    void U8(std::uint8_t value) { bytes_[size_++] = value; }
    void U16(std::uint16_t value) {
        U8(static_cast<std::uint8_t>(value));
        U8(static_cast<std::uint8_t>(value >> 8));
    }
    void U32(std::uint32_t value) {
        U16(static_cast<std::uint16_t>(value));
        U16(static_cast<std::uint16_t>(value >> 16));
    }
    void Text(const std::string& text) {
        std::memcpy(bytes_.data() + size_, text.data(), text.size());
        size_ += static_cast<std::uint32_t>(text.size());
    }
    const std::uint8_t* Data() const { return bytes_.data(); }
    std::uint32_t Size() const { return size_; }

private:
    std::array<std::uint8_t, kCentralHeaderSize + kMaxNameBytes + kCentralExtraSize> bytes_{};
    std::uint32_t size_ = 0;
};

// The fields both headers carry, from "version needed" to the name length.
void SharedFields(HeaderBytes& h, const Entry& entry) {
    h.U16(kVersionNeeded);
    h.U16(entry.flags);
    h.U16(entry.method);
    h.U16(entry.dos.time);
    h.U16(entry.dos.date);
    h.U32(entry.crc);
    h.U32(entry.compressedSize);
    h.U32(entry.uncompressedSize);
    h.U16(static_cast<std::uint16_t>(entry.name.size()));
}

HeaderBytes LocalHeader(const Entry& entry) {
    HeaderBytes h;
    h.U32(0x04034B50);  // "PK" 3 4
    SharedFields(h, entry);
    h.U16(kLocalExtraSize);
    h.Text(entry.name);
    h.U16(kExtendedTimestamp);
    h.U16(13);  // data length
    h.U8(kAllThreeTimes);
    h.U32(entry.modified);
    h.U32(entry.accessed);
    h.U32(entry.created);
    return h;
}

HeaderBytes CentralHeader(const Entry& entry) {
    HeaderBytes h;
    h.U32(0x02014B50);  // "PK" 1 2
    h.U16(kVersionMadeBy);
    SharedFields(h, entry);
    h.U16(kCentralExtraSize);
    h.U16(0);  // comment length
    h.U16(0);  // disk number start
    h.U16(0);  // internal attributes
    h.U32(entry.externalAttributes);
    h.U32(entry.localOffset);
    h.Text(entry.name);
    h.U16(kExtendedTimestamp);
    h.U16(5);  // data length
    h.U8(kAllThreeTimes);
    h.U32(entry.modified);
    return h;
}

HeaderBytes EndRecord(std::uint16_t count, std::uint32_t size, std::uint32_t offset) {
    HeaderBytes h;
    h.U32(0x06054B50);  // "PK" 5 6
    h.U16(0);           // this disk
    h.U16(0);           // disk of the central directory
    h.U16(count);       // entries on this disk
    h.U16(count);       // entries in total
    h.U32(size);
    h.U32(offset);
    h.U16(0);  // comment length
    return h;
}

std::int64_t FileTimeFromSeconds(std::int64_t seconds) {
    return seconds * kTicksPerSecond + kUnixEpochAsFileTime;
}

void DescribeFile(const fs::FileInfo& info, Entry& entry) {
    entry.dos = ToDosDateTime(info.lastWriteTime);
    entry.modified = ToUnixSeconds(info.lastWriteTime);
    entry.accessed = ToUnixSeconds(info.lastAccessTime);
    entry.created = ToUnixSeconds(info.creationTime);
    entry.externalAttributes = FileExternalAttributes(info.attributes);
    entry.flags = kFlagDataDescriptor;  // provisional, cleared by the rewrite
    entry.uncompressedSize = static_cast<std::uint32_t>(info.size);
    if (entry.method == kStored) entry.compressedSize = entry.uncompressedSize;
}

}  // namespace

ClockReading SystemClock() noexcept {
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, kTicksPerSecond>>;
    const auto now = std::chrono::system_clock::now();
    ClockReading reading;
    reading.utc = std::chrono::duration_cast<Ticks>(now.time_since_epoch()).count() +
                  kUnixEpochAsFileTime;
    reading.local = reading.utc;
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    if (const std::tm* local = std::localtime(&seconds)) {
        reading.local = FileTimeFromSeconds(SecondsFromCivil(
            local->tm_year + 1900, static_cast<unsigned>(local->tm_mon + 1),
            static_cast<unsigned>(local->tm_mday), static_cast<unsigned>(local->tm_hour),
            static_cast<unsigned>(local->tm_min), static_cast<unsigned>(local->tm_sec)));
    }
    return reading;
}

struct ZipWriter::State {
    fs::File output;
    ZipOptions options;
    std::uint64_t position = 0;     // bytes written so far
    std::uint64_t centralSize = 0;  // central headers of the entries kept so far
    std::uint64_t reserved = 0;     // room kept free for the central directory and end record
    std::vector<Entry> entries;
    ZipResult error = zr::Ok;  // latched by an output failure
    Compressor compressor;
    PumpBuffers buffers;

    ZipResult Write(const void* data, std::uint32_t size, ZipResult failure);
    ZipResult Rewrite(const Entry& entry);
    ZipResult NameEntry(std::wstring_view entryName, bool folder, Entry& entry);
    ZipResult StartEntry(Entry& entry);
    ZipResult FinishFile(Entry& entry);
    void Keep(Entry&& entry);
    ZipResult AddEntry(std::wstring_view entryName, const std::wstring* source);
    ZipResult AddPrepared(std::wstring_view entryName, const std::wstring& source,
                          const PreparedFile& prepared);
    ZipResult WriteCentralDirectory();
};

// Appends at the end; never into the room kept for the central directory.
ZipResult ZipWriter::State::Write(const void* data, std::uint32_t size, ZipResult failure) {
    if (position + size + reserved > options.maxArchiveSize) return zr::BadArgument;
    std::uint32_t written = 0;
    const ResultCode result = output.Write(data, size, written);
    position += written;
    if (Failed(result)) {
        error = failure;
        return failure;
    }
    return zr::Ok;
}

// The local header again, in place, with the final values.
ZipResult ZipWriter::State::Rewrite(const Entry& entry) {
    const HeaderBytes header = LocalHeader(entry);
    std::uint32_t written = 0;
    ZipResult result = zr::Ok;
    if (Failed(output.SeekFromStart(entry.localOffset))) {
        result = zr::Seek;
    } else if (Failed(output.Write(header.Data(), header.Size(), written))) {
        result = zr::HeaderWrite;
    }
    // The next entry must start at the end, whatever happened above.
    if (Failed(output.SeekFromStart(position))) result = zr::Seek;
    if (result != zr::Ok) error = result;
    return result;
}

// The checks made before the source is opened, then the name and method.
ZipResult ZipWriter::State::NameEntry(std::wstring_view entryName, bool folder, Entry& entry) {
    if (error != zr::Ok) return zr::ErrorState;
    std::wstring name(entryName);
    std::replace(name.begin(), name.end(), L'\\', L'/');
    if (name.empty()) return zr::BadArgument;
    if (folder && name.back() != L'/') name += L'/';
    if (!EncodeEntryName(name, entry.name) || entries.size() >= kMaxEntries) {
        return zr::BadArgument;
    }
    if (entries.size() == entries.capacity()) entries.reserve(entries.size() * 2 + 16);
    entry.method = folder || IsStoredName(name) ? kStored : kDeflated;
    return zr::Ok;
}

// The provisional local header, when the entry as announced fits.
ZipResult ZipWriter::State::StartEntry(Entry& entry) {
    reserved = centralSize + entry.CentralSize() + kEndRecordSize;
    const std::uint64_t expected = entry.method == kStored ? entry.compressedSize : 0;
    if (position + entry.LocalSize() + expected + reserved > options.maxArchiveSize) {
        return zr::BadArgument;
    }
    entry.localOffset = static_cast<std::uint32_t>(position);
    const HeaderBytes header = LocalHeader(entry);
    return Write(header.Data(), header.Size(), zr::HeaderWrite);
}

ZipResult ZipWriter::State::FinishFile(Entry& entry) {
    entry.flags = entry.method == kDeflated ? kFlagMaximumCompression : 0;
    if (const ZipResult result = Rewrite(entry)) return result;
    Keep(std::move(entry));
    return zr::Ok;
}

void ZipWriter::State::Keep(Entry&& entry) {
    centralSize += entry.CentralSize();
    entries.push_back(std::move(entry));
}

ZipResult ZipWriter::State::AddEntry(std::wstring_view entryName, const std::wstring* source) {
    const bool folder = source == nullptr;
    Entry entry;
    if (const ZipResult result = NameEntry(entryName, folder, entry)) return result;
    if (folder) {
        const ClockReading now = options.clock();
        entry.dos = ToDosDateTime(now.local);
        entry.modified = entry.accessed = entry.created = ToUnixSeconds(now.utc);
        entry.externalAttributes = kFolderExternalAttributes;
        if (const ZipResult result = StartEntry(entry)) return result;
        Keep(std::move(entry));
        return zr::Ok;
    }
    fs::File file;
    fs::FileInfo info;
    if (Failed(fs::OpenUnlinkedForReading(*source, file)) || Failed(file.Info(info))) {
        return zr::SourceUnavailable;
    }
    if (info.size > kMaxEntrySize) return zr::BadArgument;
    DescribeFile(info, entry);
    if (const ZipResult result = StartEntry(entry)) return result;
    const bool stored = entry.method == kStored;
    const auto write = [this, stored](const std::uint8_t* data, std::uint32_t size) {
        return Write(data, size, stored ? zr::StoredWrite : zr::HeaderWrite);
    };
    PumpTotals totals;
    const ZipResult copied = stored ? PumpStored(file, buffers, totals, write)
                                    : PumpDeflated(file, compressor, buffers, totals, write);
    if (copied != zr::Ok) return copied;
    file.Close();
    entry.crc = totals.crc;
    entry.compressedSize = static_cast<std::uint32_t>(totals.packed);
    entry.uncompressedSize = static_cast<std::uint32_t>(totals.read);
    return FinishFile(entry);
}

// The same writes as AddEntry would make, so the archive limit and output failures cut them
// where they would cut AddEntry's; AddEntry itself when the data was not made cleanly.
ZipResult ZipWriter::State::AddPrepared(std::wstring_view entryName, const std::wstring& source,
                                        const PreparedFile& prepared) {
    if (!prepared.complete) return AddEntry(entryName, &source);
    Entry entry;
    if (const ZipResult result = NameEntry(entryName, false, entry)) return result;
    if (entry.method != kDeflated) return AddEntry(entryName, &source);
    DescribeFile(prepared.info, entry);
    if (const ZipResult result = StartEntry(entry)) return result;
    const std::uint8_t* data = prepared.data.data();
    for (const std::uint32_t size : prepared.pieces) {
        if (const ZipResult result = Write(data, size, zr::HeaderWrite)) return result;
        data += size;
    }
    entry.crc = prepared.crc;
    entry.compressedSize = static_cast<std::uint32_t>(prepared.data.size());
    entry.uncompressedSize = static_cast<std::uint32_t>(prepared.size);
    return FinishFile(entry);
}

ZipResult ZipWriter::State::WriteCentralDirectory() {
    if (error != zr::Ok) return zr::HeaderWrite;
    reserved = 0;
    const std::uint64_t start = position;
    for (const Entry& entry : entries) {
        const HeaderBytes header = CentralHeader(entry);
        if (Write(header.Data(), header.Size(), zr::HeaderWrite) != zr::Ok) return zr::HeaderWrite;
    }
    const HeaderBytes end = EndRecord(static_cast<std::uint16_t>(entries.size()),
                                      static_cast<std::uint32_t>(position - start),
                                      static_cast<std::uint32_t>(start));
    return Write(end.Data(), end.Size(), zr::HeaderWrite) == zr::Ok ? zr::Ok : zr::HeaderWrite;
}

ZipWriter::ZipWriter() noexcept = default;
ZipWriter::ZipWriter(ZipWriter&& other) noexcept = default;
ZipWriter& ZipWriter::operator=(ZipWriter&& other) noexcept = default;
ZipWriter::~ZipWriter() = default;

ResultCode ZipWriter::Create(const std::wstring& path, ZipWriter& out,
                             const ZipOptions& options) noexcept {
    std::unique_ptr<State> state(new (std::nothrow) State);
    if (!state) return rc::OutOfMemory;
    state->options = options;
    if (const ResultCode result = fs::CreateExclusive(path, state->output); Failed(result)) {
        return result;
    }
    out.state_ = std::move(state);
    out.closed_ = false;
    return rc::Ok;
}

ZipResult ZipWriter::AddFile(std::wstring_view entryName, const std::wstring& sourcePath) noexcept {
    if (closed_) return zr::Closed;
    if (!state_) return zr::NoOutput;
    try {
        return state_->AddEntry(entryName, &sourcePath);
    } catch (const std::bad_alloc&) {
        return zr::HeaderWrite;  // no room to keep the entry's central record
    }
}

ZipResult ZipWriter::AddPrepared(std::wstring_view entryName, const std::wstring& sourcePath,
                                 const PreparedFile& prepared) noexcept {
    if (closed_) return zr::Closed;
    if (!state_) return zr::NoOutput;
    try {
        return state_->AddPrepared(entryName, sourcePath, prepared);
    } catch (const std::bad_alloc&) {
        return zr::HeaderWrite;
    }
}

ZipResult ZipWriter::AddFolder(std::wstring_view entryName) noexcept {
    if (closed_) return zr::Closed;
    if (!state_) return zr::NoOutput;
    try {
        return state_->AddEntry(entryName, nullptr);
    } catch (const std::bad_alloc&) {
        return zr::HeaderWrite;
    }
}

bool ZipWriter::OutputFailed() const noexcept { return state_ && state_->error != zr::Ok; }

ZipResult ZipWriter::Close() noexcept {
    if (closed_) return zr::Closed;
    if (!state_) return zr::NoOutput;
    const ZipResult result = state_->WriteCentralDirectory();
    state_.reset();
    closed_ = true;
    return result;
}

}  // namespace qor::zip
