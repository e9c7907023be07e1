// A connection table as the IP helper returns it: the first byte picks the table kind, the
// rest is the table (row count, then rows).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "diag/network/connection_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const qor::ConnectionTable table = qor::kConnectionTables[data[0] % 4];
    std::wstring text;
    qor::AppendConnectionRecords(table, std::span<const std::uint8_t>(data + 1, size - 1), text);
    return 0;
}
