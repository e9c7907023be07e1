#include "diag/network/os_adapters.h"

#include <algorithm>
#include <array>
#include <cwctype>

#include "common/text_format.h"

namespace qor {
namespace {

constexpr std::array<const wchar_t*, 7> kVpnAdapterNames = {
    L"Check Point Virtual Network Adapter For Endpoint VPN Client",
    L"TAP-Win32 Adapter OAS",
    L"TAP-Win32 Adapter V9",
    L"PPP adapter VPN Connection",
    L"Ethernet adapter Hamachi",
    L"Hamachi Network Interface",
    L"Kerio Virtual Network Adapter",
};

bool EqualsNoCase(const std::wstring& a, const wchar_t* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != L'\0'; ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    }
    return i == a.size() && b[i] == L'\0';
}

std::wstring WidenName(const std::string& name) {
    std::wstring wide;
    wide.reserve(name.size());
    for (const char c : name) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

// Calls `query(size)` until it stops answering "buffer too small", growing the buffer to the
// size it asks for; gives up after `maxCalls` calls. Answers the last Windows error number.
template <typename Query>
std::uint32_t GrowingQuery(std::uint32_t firstSize, int maxCalls, std::uint32_t tooSmall,
                           Query query, bool& gaveUp) {
    std::uint32_t size = firstSize;
    std::uint32_t error = tooSmall;
    gaveUp = false;
    for (int call = 0; call < maxCalls; ++call) {
        error = query(size);
        if (error != tooSmall) return error;
        if (size > kMaxAdapterBufferSize) break;
    }
    gaveUp = true;
    return error;
}

}  // namespace

OsAdapter MakeAdapterRecord(const AdapterRow& row, std::uint32_t bestIpv4, std::uint32_t bestIpv6) {
    OsAdapter adapter;
    const std::wstring name = WidenName(row.name);
    adapter.guid = ParseGuid(name);
    adapter.ifIndex = row.ifIndex;
    adapter.ipv6IfIndex = row.ipv6IfIndex;
    adapter.friendlyName = row.friendlyName;
    adapter.physicalAddress = row.physicalAddress;

    const bool active = row.operStatus == kIfOperStatusUp;
    if (active) {
        adapter.flags |= adapter_flag::Active;
        // An index of 0 is no interface: no IPv4 on the adapter, or no best route found.
        if (row.ifIndex != 0 && row.ifIndex == bestIpv4) {
            adapter.flags |= adapter_flag::DefaultRouteIp4;
        }
        if (row.ipv6IfIndex != 0 && row.ipv6IfIndex == bestIpv6) {
            adapter.flags |= adapter_flag::DefaultRouteIp6;
        }
    }
    if (row.ifType == kIfTypeTunnel) adapter.flags |= adapter_flag::Tunnel;
    if (row.ifType == kIfTypeLoopback) {
        adapter.flags |= adapter_flag::Loopback | adapter_flag::Unsupported;
    }
    if (row.ifType == kIfTypePpp) {
        adapter.flags |= adapter_flag::DialUp;
        adapter.windowsId = row.friendlyName;
        adapter.description = row.friendlyName;
    } else {
        adapter.windowsId = name;
        adapter.description = row.description.empty() ? name : row.description;
    }

    if (active) {
        for (const IpAddress& address : row.unicast) {
            std::uint32_t length = 0;
            for (const AdapterRow::Prefix& prefix : row.prefixes) {
                if (PrefixContains(prefix.address, prefix.length, address)) {
                    length = prefix.length;
                    break;
                }
            }
            adapter.addresses.push_back({address, length});
        }
    }
    return adapter;
}

bool IsVpnAdapter(const OsAdapter& adapter, const std::vector<std::wstring>& vpnConnections) {
    if (std::find(vpnConnections.begin(), vpnConnections.end(), adapter.description) !=
        vpnConnections.end()) {
        return true;
    }
    if (!(adapter.flags & adapter_flag::Active) || (adapter.flags & adapter_flag::Unsupported)) {
        return false;
    }
    return std::any_of(kVpnAdapterNames.begin(), kVpnAdapterNames.end(), [&](const wchar_t* name) {
        return adapter.description.starts_with(name);
    });
}

void OsAdapters::LogFailure(const wchar_t* what, ResultCode code) {
    log_.Write(LogSeverity::Error, kAdaptersLogger, kAdaptersLogSource,
               FormatText(L"%ls failed: 0x%08x", what, static_cast<unsigned>(code)));
}

ResultCode OsAdapters::ReadAdapterRows(std::vector<AdapterRow>& rows) {
    if (!system_.HasAdapterQuery()) return kAdapterQueryMissing;
    bool gaveUp = false;
    const std::uint32_t error = GrowingQuery(
        kFirstAdapterBufferSize, kMaxAdapterQueryCalls, win_error::BufferOverflow,
        [&](std::uint32_t& size) {
            const std::uint32_t answer = system_.QueryAdapters(size, rows);
            // These two are answered for a buffer too small as well.
            if (answer == win_error::InvalidParameter || answer == win_error::InvalidFunction) {
                return win_error::BufferOverflow;
            }
            return answer;
        },
        gaveUp);
    if (gaveUp) return kAdapterQueryTooManyCalls;
    return ResultFromWin32(error);
}

std::vector<std::wstring> OsAdapters::ActiveVpnConnections() {
    std::vector<RasConnectionRow> rows;
    bool gaveUp = false;
    const std::uint32_t error = GrowingQuery(
        kFirstRasBufferSize, kMaxRasCalls, win_error::BufferTooSmall,
        [&](std::uint32_t& size) { return system_.EnumRasConnections(size, rows); }, gaveUp);
    std::vector<std::wstring> names;
    if (error != 0) {
        LogFailure(L"RasEnumConnections", ResultFromWin32(error));
        return names;
    }
    for (const RasConnectionRow& row : rows) {
        if (EqualsNoCase(row.deviceType, L"vpn")) names.push_back(row.entryName);
    }
    return names;
}

void OsAdapters::AddPhoneBookRecords() {
    std::vector<std::wstring> entries;
    bool gaveUp = false;
    const std::uint32_t error = GrowingQuery(
        kFirstRasBufferSize, kMaxRasCalls, win_error::BufferTooSmall,
        [&](std::uint32_t& size) { return system_.EnumPhoneBookEntries(size, entries); }, gaveUp);
    if (error != 0) {
        LogFailure(L"RasEnumEntries", ResultFromWin32(error));
        return;
    }
    std::vector<std::wstring> pppNames;
    for (const OsAdapter& adapter : list_) {
        if (adapter.flags & adapter_flag::DialUp) {
            pppNames.push_back(adapter.friendlyName);
        }
    }
    for (const std::wstring& entry : entries) {
        if (std::find(pppNames.begin(), pppNames.end(), entry) != pppNames.end()) continue;
        OsAdapter record;
        record.windowsId = entry;
        record.description = entry;
        record.flags = adapter_flag::DialUp;
        list_.push_back(std::move(record));
    }
}

bool OsAdapters::MarkSharedConnections() {
    if (!os_.IsXpOrLater()) {
        LogFailure(L"Connection sharing query", rc::NotSupported);
        return false;
    }
    std::vector<SharedConnectionRow> rows;
    if (const ResultCode code = system_.QuerySharing(rows); Failed(code)) {
        LogFailure(L"Connection sharing query", code);
        return false;
    }
    bool marked = false;
    for (const SharedConnectionRow& row : rows) {
        std::uint32_t flags = 0;
        if (row.characteristics & kSharedCharacteristic) flags |= adapter_flag::Shared;
        if (row.characteristics & kSharedPrivateCharacteristic) flags |= adapter_flag::SharedPrivate;
        if (flags == 0 || !row.guid) continue;
        for (OsAdapter& adapter : list_) {
            if (adapter.guid == row.guid) {
                adapter.flags |= flags;
                marked = true;
            }
        }
    }
    return marked;
}

void OsAdapters::MarkByAddress(bool deviceCheck) {
    if (deviceCheck && !system_.OpenDevice(L"\\\\.\\IPNAT") &&
        !system_.OpenDevice(L"\\\\.\\Global\\IPNAT")) {
        return;
    }
    const IpAddress network = IpAddress::V4(192, 168, 0, 1);
    for (OsAdapter& adapter : list_) {
        for (const OsAdapter::Address& entry : adapter.addresses) {
            if (PrefixContains(network, 24, entry.address)) {
                adapter.flags |= adapter_flag::SharedPrivate;
                break;
            }
        }
    }
}

void OsAdapters::ApplySharing() {
    if (!os_.IsXpOrLater()) {
        MarkByAddress(true);
        return;
    }
    const bool marked = MarkSharedConnections();
    if (os_.IsVistaOrLater()) return;
    const bool fixedSharing =
        (os_.processorClass == ProcessorClass::X86 && os_.servicePackMajor >= 3) ||
        (os_.processorClass == ProcessorClass::Amd64 && os_.servicePackMajor >= 1);
    if (!fixedSharing && marked) MarkByAddress(false);
}

ResultCode OsAdapters::Refresh() {
    list_.clear();
    std::vector<AdapterRow> rows;
    if (const ResultCode code = ReadAdapterRows(rows); Failed(code)) {
        LogFailure(L"GetAdaptersAddresses", code);
        return code;
    }

    std::uint32_t bestIpv4 = 0;
    std::uint32_t bestIpv6 = 0;
    const bool extended = os_.IsXpOrLater();
    if (const ResultCode code = system_.BestInterface(AddressFamily::Ipv4, extended, bestIpv4);
        Failed(code)) {
        bestIpv4 = 0;
        LogFailure(L"Best IPv4 interface", code);
    }
    if (const ResultCode code = system_.BestInterface(AddressFamily::Ipv6, extended, bestIpv6);
        Failed(code)) {
        bestIpv6 = 0;
        LogFailure(L"Best IPv6 interface", code);
    }
    const std::vector<std::wstring> vpnConnections = ActiveVpnConnections();

    for (const AdapterRow& row : rows) {
        OsAdapter adapter = MakeAdapterRecord(row, bestIpv4, bestIpv6);
        if (IsVpnAdapter(adapter, vpnConnections)) adapter.flags |= adapter_flag::Vpn;
        list_.push_back(std::move(adapter));
    }
    AddPhoneBookRecords();
    if (list_.size() < 2) return rc::Ok;
    ApplySharing();
    return rc::Ok;
}

}  // namespace qor
