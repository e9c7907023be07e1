#pragma once
// A file read and packed into memory ahead of its turn, as ZipWriter::AddFile would pack it.
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/zip_data_pump.h"
#include "platform/fs.h"

namespace qor::zip {

// Only deflated entries: a stored one costs its writer no more than reading it.
struct PreparedFile {
    bool complete = false;  // read and packed with no failure of any kind
    fs::FileInfo info;
    std::uint32_t crc = 0;
    std::uint64_t size = 0;             // bytes read
    std::vector<std::uint8_t> data;     // the entry data
    std::vector<std::uint32_t> pieces;  // the sizes of the writes AddFile would make
};

// Asked once, with the most bytes the entry data can take, before any data is read.
class DataReservation {
public:
    [[nodiscard]] virtual bool Reserve(std::uint64_t bound) noexcept = 0;

protected:
    ~DataReservation() = default;
};

struct PackTools {
    Compressor compressor;
    PumpBuffers buffers;
};

// Fills `out`; anything but a clean read and pack (a stored entry, the source not opened, too
// big, no reservation, more data than reserved, `cancel` set, no memory) leaves it incomplete.
void PrepareFile(std::wstring_view entryName, const std::wstring& sourcePath, PackTools& tools,
                 DataReservation& reservation, const std::atomic<bool>& cancel,
                 PreparedFile& out) noexcept;

}  // namespace qor::zip
