#include "diag/network/connection_table.h"

#include <algorithm>
#include <array>
#include <new>

#include "common/text_format.h"

namespace qor {
namespace {

constexpr const wchar_t* kTcpStateNames[] = {
    L"0",
    L"MIB_TCP_STATE_CLOSED",
    L"MIB_TCP_STATE_LISTEN",
    L"MIB_TCP_STATE_SYN_SENT",
    L"MIB_TCP_STATE_SYN_RCVD",
    L"MIB_TCP_STATE_ESTAB",
    L"MIB_TCP_STATE_FIN_WAIT1",
    L"MIB_TCP_STATE_FIN_WAIT2",
    L"MIB_TCP_STATE_CLOSE_WAIT",
    L"MIB_TCP_STATE_CLOSING",
    L"MIB_TCP_STATE_LAST_ACK",
    L"MIB_TCP_STATE_TIME_WAIT",
    L"MIB_TCP_STATE_DELETE_TCB",
};

constexpr std::size_t kCountSize = 4;

// A row's fields; 32-bit fields are little-endian, addresses and ports in network order.
class Row {
public:
    explicit Row(const std::uint8_t* bytes) : bytes_(bytes) {}
    int Value(std::size_t offset) const {
        const std::uint8_t* p = bytes_ + offset;
        return static_cast<int>(std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
                                std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24);
    }
    std::uint32_t State(std::size_t offset) const { return static_cast<std::uint32_t>(Value(offset)); }
    // The low 16 bits of the field, network order.
    int Port(std::size_t offset) const { return bytes_[offset] << 8 | bytes_[offset + 1]; }
    std::wstring V4(std::size_t offset) const {
        return Ipv4AddressText(std::span<const std::uint8_t, 4>(bytes_ + offset, 4));
    }
    std::wstring V6(std::size_t offset) const {
        return Ipv6AddressText(std::span<const std::uint8_t, 16>(bytes_ + offset, 16));
    }

private:
    const std::uint8_t* bytes_;
};

std::wstring TcpRecord4(const Row& row) {
    const wchar_t* state = TcpStateName(row.State(0));
    if (!state) return {};
    return FormatText(L"#%i @%ls (%i)\n%ls : %i\n%ls : %i\n\n", row.Value(20), state,
                      row.Value(0), row.V4(4).c_str(), row.Port(8), row.V4(12).c_str(),
                      row.Port(16));
}

std::wstring TcpRecord6(const Row& row) {
    const wchar_t* state = TcpStateName(row.State(48));
    if (!state) return {};
    return FormatText(L"#%i @%ls (%i)\n%ls%%%i : %i\n%ls%%%i : %i\n\n", row.Value(52), state,
                      row.Value(48), row.V6(0).c_str(), row.Value(16), row.Port(20),
                      row.V6(24).c_str(), row.Value(40), row.Port(44));
}

std::wstring UdpRecord4(const Row& row) {
    return FormatText(L"#%i\n%ls : %i\n\n", row.Value(8), row.V4(0).c_str(), row.Port(4));
}

std::wstring UdpRecord6(const Row& row) {
    return FormatText(L"#%i\n%ls%%%i : %i\n\n", row.Value(24), row.V6(0).c_str(),
                      row.Value(16), row.Port(20));
}

// Empty when the row cannot be formatted.
std::wstring Record(ConnectionTable table, const Row& row) {
    switch (table) {
        case ConnectionTable::Tcp4: return TcpRecord4(row);
        case ConnectionTable::Tcp6: return TcpRecord6(row);
        case ConnectionTable::Udp4: return UdpRecord4(row);
        case ConnectionTable::Udp6: return UdpRecord6(row);
    }
    return {};
}

std::wstring Ipv6Group(unsigned group) {
    return FormatText(group > 0xFF ? L"%04x" : L"%x", group);
}

std::wstring JoinGroups(const std::array<unsigned, 8>& groups, std::size_t from, std::size_t to) {
    std::wstring text;
    for (std::size_t i = from; i < to; ++i) {
        if (i != from) text += L':';
        text += Ipv6Group(groups[i]);
    }
    return text;
}

}  // namespace

std::size_t ConnectionRowSize(ConnectionTable table) noexcept {
    switch (table) {
        case ConnectionTable::Tcp4: return 24;
        case ConnectionTable::Tcp6: return 56;
        case ConnectionTable::Udp4: return 12;
        case ConnectionTable::Udp6: return 28;
    }
    return 0;
}

std::wstring Ipv4AddressText(std::span<const std::uint8_t, 4> address) {
    return FormatText(L"%u.%u.%u.%u", unsigned{address[0]}, unsigned{address[1]},
                      unsigned{address[2]}, unsigned{address[3]});
}

std::wstring Ipv6AddressText(std::span<const std::uint8_t, 16> address) {
    std::array<unsigned, 8> groups{};
    for (std::size_t i = 0; i < groups.size(); ++i) {
        groups[i] = unsigned{address[2 * i]} << 8 | address[2 * i + 1];
    }
    // The first of the longest runs of zero groups.
    std::size_t runStart = 0, runLength = 0;
    for (std::size_t i = 0; i < groups.size();) {
        std::size_t end = i;
        while (end < groups.size() && groups[end] == 0) ++end;
        if (end - i > runLength) {
            runStart = i;
            runLength = end - i;
        }
        i = end == i ? i + 1 : end;
    }
    if (runLength == 0) return JoinGroups(groups, 0, groups.size());
    return JoinGroups(groups, 0, runStart) + L"::" +
           JoinGroups(groups, runStart + runLength, groups.size());
}

const wchar_t* TcpStateName(std::uint32_t state) noexcept {
    return state < std::size(kTcpStateNames) ? kTcpStateNames[state] : nullptr;
}

void AppendConnectionRecords(ConnectionTable table, std::span<const std::uint8_t> bytes,
                             std::wstring& text) {
    if (bytes.size() < kCountSize) return;
    const std::size_t rowSize = ConnectionRowSize(table);
    const std::size_t counted = static_cast<std::uint32_t>(Row(bytes.data()).Value(0));
    const std::size_t rows = std::min(counted, (bytes.size() - kCountSize) / rowSize);
    for (std::size_t i = 0; i < rows; ++i) {
        text += Record(table, Row(bytes.data() + kCountSize + i * rowSize));
    }
}

bool ConnectionTablesAvailable(const OsVersionRecord& os) noexcept {
    if (!os.filled) return false;
    if (os.majorVersion > 5) return true;
    if (os.IsWindowsXp()) {
        return (os.processorClass == ProcessorClass::X86 && os.servicePackMajor >= 2) ||
               (os.processorClass == ProcessorClass::Amd64 && os.servicePackMajor >= 1);
    }
    return os.majorVersion == 5 && os.minorVersion >= 2 && os.productType != 1 &&
           os.servicePackMajor >= 1;
}

ResultCode ReadConnectionTable(ConnectionTableReader& reader, ConnectionTable table,
                               std::vector<std::uint8_t>& bytes) noexcept {
    try {
        std::uint32_t size = kFirstConnectionTableSize;
        for (int read = 0; read < kMaxConnectionTableReads; ++read) {
            if (size > kMaxConnectionTableSize) return rc::BufferTooSmall;
            bytes.assign(size, 0);
            const std::uint32_t error = reader.Read(table, bytes.data(), size);
            if (error == 0) return rc::Ok;
            if (error != kErrorInsufficientBuffer) return ResultFromWin32(error);
        }
        return rc::BufferTooSmall;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

ResultCode AppendConnectionTables(ConnectionTableReader& reader, std::wstring& text) noexcept {
    try {
        std::vector<std::uint8_t> bytes;
        for (const ConnectionTable table : kConnectionTables) {
            const ResultCode read = ReadConnectionTable(reader, table, bytes);
            if (read == rc::OutOfMemory) return read;
            if (Failed(read)) continue;
            AppendConnectionRecords(table, bytes, text);
        }
        return rc::Ok;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

}  // namespace qor
