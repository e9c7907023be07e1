#pragma once
// The connection tables of the IP helper, formatted as text records.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/result.h"
#include "platform/os_version.h"

namespace qor {

// In the order they are dumped.
enum class ConnectionTable { Tcp4, Tcp6, Udp4, Udp6 };
inline constexpr ConnectionTable kConnectionTables[] = {
    ConnectionTable::Tcp4, ConnectionTable::Tcp6, ConnectionTable::Udp4, ConnectionTable::Udp6};

// Bytes per row of each table; a table is a 32-bit row count followed by its rows.
std::size_t ConnectionRowSize(ConnectionTable table) noexcept;

// Dotted decimal, the first byte (network order) first.
std::wstring Ipv4AddressText(std::span<const std::uint8_t, 4> address);
// Lower-case groups, a group with a non-zero high byte in four digits, the first longest run
// of zero groups as "::".
std::wstring Ipv6AddressText(std::span<const std::uint8_t, 16> address);

// "MIB_TCP_STATE_..." for 1 to 12, "0" for 0; null above 12.
const wchar_t* TcpStateName(std::uint32_t state) noexcept;

// One record per row the table holds; a row that cannot be formatted is left out, and so are
// rows the counted table does not hold in full.
void AppendConnectionRecords(ConnectionTable table, std::span<const std::uint8_t> bytes,
                             std::wstring& text);

// Whether the system has the tables with owning processes.
bool ConnectionTablesAvailable(const OsVersionRecord& os) noexcept;

inline constexpr std::uint32_t kFirstConnectionTableSize = 1024;
// A table still growing after this many reads, or larger than the size, is skipped.
inline constexpr int kMaxConnectionTableReads = 8;
inline constexpr std::uint32_t kMaxConnectionTableSize = 64u << 20;

inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;

class ConnectionTableReader {
public:
    virtual ~ConnectionTableReader() = default;
    // The Windows error number of the call; `size` (bytes) updated as the call does.
    virtual std::uint32_t Read(ConnectionTable table, void* buffer,
                               std::uint32_t& size) noexcept = 0;
};

// Read with a buffer grown while the call asks for more.
[[nodiscard]] ResultCode ReadConnectionTable(ConnectionTableReader& reader, ConnectionTable table,
                                             std::vector<std::uint8_t>& bytes) noexcept;

// The records of the four tables in order; a table that cannot be read adds nothing.
[[nodiscard]] ResultCode AppendConnectionTables(ConnectionTableReader& reader,
                                                std::wstring& text) noexcept;

}  // namespace qor
