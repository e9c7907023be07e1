#include "archive/zip_prepared_file.h"

#include <new>

#include "archive/zip_format.h"

namespace qor::zip {
namespace {

ZipResult Pack(fs::File& source, PackTools& tools, DataReservation& reservation,
               const std::atomic<bool>& cancel, PreparedFile& out) {
    if (Failed(source.Info(out.info))) return zr::SourceUnavailable;
    if (out.info.size > kMaxEntrySize) return zr::BadArgument;
    if (const ZipResult result = tools.compressor.Reset()) return result;
    const std::uint64_t bound = tools.compressor.Bound(out.info.size);
    if (!reservation.Reserve(bound)) return zr::BadArgument;
    out.data.reserve(static_cast<std::size_t>(bound));
    const auto keep = [&](const std::uint8_t* data, std::uint32_t size) {
        if (cancel.load(std::memory_order_relaxed) || out.data.size() + size > bound) {
            return zr::Compressor;
        }
        out.data.insert(out.data.end(), data, data + size);
        out.pieces.push_back(size);
        return zr::Ok;
    };
    PumpTotals totals;
    const ZipResult result = PumpDeflated(source, tools.compressor, tools.buffers, totals, keep);
    if (result != zr::Ok) return result;
    out.crc = totals.crc;
    out.size = totals.read;
    out.data.shrink_to_fit();  // the reservation shrinks to the data
    return zr::Ok;
}

}  // namespace

void PrepareFile(std::wstring_view entryName, const std::wstring& sourcePath, PackTools& tools,
                 DataReservation& reservation, const std::atomic<bool>& cancel,
                 PreparedFile& out) noexcept {
    out = PreparedFile();
    try {
        fs::File source;
        out.complete = !IsStoredName(entryName) &&
                       Succeeded(fs::OpenUnlinkedForReading(sourcePath, source)) &&
                       Pack(source, tools, reservation, cancel, out) == zr::Ok;
    } catch (const std::bad_alloc&) {
        out.complete = false;
    }
    if (!out.complete) out = PreparedFile();
}

}  // namespace qor::zip
