#pragma once
// The read-and-pack loops of one file entry. The writer and the threads that pack ahead of it
// run the same deflate loop, so both give the same bytes in the same writes.
#include <zlib.h>

#include <array>
#include <cstdint>

#include "archive/zip_writer.h"
#include "platform/fs.h"

namespace qor::zip {

inline constexpr std::uint32_t kBufferSize = 16384;
inline constexpr std::uint64_t kMaxEntrySize = 0xFFFFFFFF;

struct PumpBuffers {
    std::array<std::uint8_t, kBufferSize> input{};
    std::array<std::uint8_t, kBufferSize> output{};
};

struct PumpTotals {
    std::uint64_t read = 0;
    std::uint64_t packed = 0;
    std::uint32_t crc = 0;
};

// Raw deflate, level 8: made once, reset for each entry.
class Compressor {
public:
    Compressor() noexcept = default;
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;
    ~Compressor() {
        if (ready_) deflateEnd(&stream_);
    }

    [[nodiscard]] ZipResult Reset() noexcept {
        if (ready_) return deflateReset(&stream_) == Z_OK ? zr::Ok : zr::Compressor;
        if (deflateInit2(&stream_, 8, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            return zr::Compressor;
        }
        ready_ = true;
        return zr::Ok;
    }
    // Most bytes that `size` input bytes can pack into; call after Reset.
    std::uint64_t Bound(std::uint64_t size) noexcept {
        if (size > 0xF0000000) return UINT64_MAX;
        return deflateBound(&stream_, static_cast<uLong>(size));
    }
    z_stream& Stream() noexcept { return stream_; }

private:
    z_stream stream_{};
    bool ready_ = false;
};

// `sink(data, size)` takes every piece of entry data as it is made and returns a ZipResult.
template <class Sink>
[[nodiscard]] ZipResult PumpStored(fs::File& source, PumpBuffers& buffers, PumpTotals& totals,
                                   Sink&& sink) {
    uLong crc = crc32(0, nullptr, 0);
    for (;;) {
        std::uint32_t read = 0;
        if (Failed(source.Read(buffers.input.data(), kBufferSize, read))) {
            return zr::SourceUnavailable;
        }
        if (read == 0) break;
        if (totals.read + read > kMaxEntrySize) return zr::BadArgument;
        crc = crc32(crc, buffers.input.data(), read);
        totals.read += read;
        if (const ZipResult result = sink(buffers.input.data(), read)) return result;
        totals.packed += read;
    }
    totals.crc = static_cast<std::uint32_t>(crc);
    return zr::Ok;
}

// One raw deflate stream of the whole source; each output buffer goes out as it is made.
template <class Sink>
[[nodiscard]] ZipResult PumpDeflated(fs::File& source, Compressor& compressor,
                                     PumpBuffers& buffers, PumpTotals& totals, Sink&& sink) {
    if (compressor.Reset() != zr::Ok) return zr::Compressor;
    z_stream& stream = compressor.Stream();
    uLong crc = crc32(0, nullptr, 0);
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
        std::uint32_t read = 0;
        if (Failed(source.Read(buffers.input.data(), kBufferSize, read))) {
            return zr::SourceUnavailable;
        }
        if (totals.read + read > kMaxEntrySize) return zr::BadArgument;
        crc = crc32(crc, buffers.input.data(), read);
        totals.read += read;
        flush = read == 0 ? Z_FINISH : Z_NO_FLUSH;
        stream.next_in = buffers.input.data();
        stream.avail_in = read;
        do {
            stream.next_out = buffers.output.data();
            stream.avail_out = kBufferSize;
            const int status = deflate(&stream, flush);
            if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
                return zr::Compressor;
            }
            const std::uint32_t produced = kBufferSize - stream.avail_out;
            if (produced == 0) continue;
            if (const ZipResult result = sink(buffers.output.data(), produced)) return result;
            totals.packed += produced;
        } while (stream.avail_out == 0);
    }
    totals.crc = static_cast<std::uint32_t>(crc);
    return zr::Ok;
}

}  // namespace qor::zip
