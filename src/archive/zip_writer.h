#pragma once
// Streaming writer of a plain ZIP archive: no ZIP64, no encryption, no comment. Headers and
// data go straight to the output file.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/result.h"

namespace qor::zip {

using ZipResult = std::uint32_t;

namespace zr {
inline constexpr ZipResult Ok = 0;
inline constexpr ZipResult SourceUnavailable = 0x200;  // not opened, information or data not read
inline constexpr ZipResult HeaderWrite = 0x400;        // also compressed data
inline constexpr ZipResult BadArgument = 0x10000;      // also an entry the format cannot hold
inline constexpr ZipResult ErrorState = 0x40000;       // an earlier output failure
inline constexpr ZipResult Closed = 0x50000;
inline constexpr ZipResult StoredWrite = 0x60000;
inline constexpr ZipResult NoOutput = 0x1000000;
inline constexpr ZipResult Seek = 0x2000000;
inline constexpr ZipResult Compressor = 0x5000000;
}  // namespace zr

// The current time in 100-ns units since 1601: as UTC and as the local wall-clock reading.
struct ClockReading {
    std::int64_t utc = 0;
    std::int64_t local = 0;
};
using Clock = ClockReading (*)();
ClockReading SystemClock() noexcept;

struct ZipOptions {
    Clock clock = SystemClock;                  // folder entry times
    std::uint32_t maxArchiveSize = 0xFFFFFFFF;  // the format's limit
    // For ZipDirectoryTree: threads that pack files ahead of the writer (0 or 1: none), and
    // the most packed data they may hold at once.
    unsigned workers = 0;
    std::uint64_t inFlightBudget = 64ull << 20;
};

struct PreparedFile;

class ZipWriter {
public:
    ZipWriter() noexcept;
    ZipWriter(ZipWriter&& other) noexcept;
    ZipWriter& operator=(ZipWriter&& other) noexcept;
    // Without Close the output is closed with no central directory.
    ~ZipWriter();

    // Replaces any file at `path` and holds it unshared until Close.
    [[nodiscard]] static ResultCode Create(const std::wstring& path, ZipWriter& out,
                                           const ZipOptions& options = {}) noexcept;

    // Backslashes in entry names become "/". A source that is a link (or has a second name) is
    // not opened: zr::SourceUnavailable.
    [[nodiscard]] ZipResult AddFile(std::wstring_view entryName,
                                    const std::wstring& sourcePath) noexcept;
    // As AddFile, from what PrepareFile made of the same entry and source.
    [[nodiscard]] ZipResult AddPrepared(std::wstring_view entryName,
                                        const std::wstring& sourcePath,
                                        const PreparedFile& prepared) noexcept;
    [[nodiscard]] ZipResult AddFolder(std::wstring_view entryName) noexcept;
    // True once an output write failed: every later entry then fails too.
    [[nodiscard]] bool OutputFailed() const noexcept;
    // Central directory and end record; the output is closed whatever the result.
    [[nodiscard]] ZipResult Close() noexcept;

private:
    struct State;
    std::unique_ptr<State> state_;
    bool closed_ = false;
};

}  // namespace qor::zip
