#pragma once
// The firewall's view of the network adapters: one record per adapter and per dial-up
// phone-book entry, with its classification flags and addresses.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/result.h"
#include "diag/network/net_types.h"
#include "platform/os_version.h"
#include "product/log_sink.h"

namespace qor {

namespace adapter_flag {
inline constexpr std::uint32_t Active = 0x001;
inline constexpr std::uint32_t DialUp = 0x002;
inline constexpr std::uint32_t DefaultRouteIp4 = 0x004;
inline constexpr std::uint32_t DefaultRouteIp6 = 0x008;
inline constexpr std::uint32_t Unsupported = 0x010;
inline constexpr std::uint32_t Tunnel = 0x020;
inline constexpr std::uint32_t Loopback = 0x080;
inline constexpr std::uint32_t Shared = 0x100;
inline constexpr std::uint32_t SharedPrivate = 0x200;
inline constexpr std::uint32_t Vpn = 0x400;
}  // namespace adapter_flag

inline constexpr ResultCode kAdapterQueryMissing = static_cast<ResultCode>(0xE0015300u);
inline constexpr ResultCode kAdapterQueryTooManyCalls = static_cast<ResultCode>(0xE0015301u);

inline constexpr const wchar_t* kAdaptersLogger = L"QOR.QORFW.Sys.OsAdapters";
inline constexpr const wchar_t* kAdaptersLogSource = L"FWWINOSADAPTINFO";

// Interface types and operational status as the adapter list gives them.
inline constexpr std::uint32_t kIfTypePpp = 23;
inline constexpr std::uint32_t kIfTypeLoopback = 24;
inline constexpr std::uint32_t kIfTypeTunnel = 131;
inline constexpr std::uint32_t kIfOperStatusUp = 1;

// One adapter of the system's adapter list, copied out of the system's buffer.
struct AdapterRow {
    std::string name;  // the GUID in braces
    std::wstring description;
    std::wstring friendlyName;
    std::uint32_t ifIndex = 0;
    std::uint32_t ipv6IfIndex = 0;
    std::uint32_t ifType = 0;
    std::uint32_t operStatus = 0;
    std::vector<std::uint8_t> physicalAddress;
    std::vector<IpAddress> unicast;
    struct Prefix {
        IpAddress address;
        std::uint32_t length = 0;
    };
    std::vector<Prefix> prefixes;
};

struct RasConnectionRow {
    std::wstring entryName;
    std::wstring deviceType;
};

struct SharedConnectionRow {
    std::optional<Guid> guid;
    std::uint32_t characteristics = 0;
};

inline constexpr std::uint32_t kSharedCharacteristic = 0x100;
inline constexpr std::uint32_t kSharedPrivateCharacteristic = 0x2000;

// Windows error numbers the adapter layer tells apart.
namespace win_error {
inline constexpr std::uint32_t InvalidFunction = 1;
inline constexpr std::uint32_t InvalidParameter = 87;
inline constexpr std::uint32_t BufferOverflow = 111;
inline constexpr std::uint32_t BufferTooSmall = 603;
}  // namespace win_error

// What the adapter layer reads from the system. The list queries answer a Windows error
// number and, when the buffer of `size` bytes is too small, the size they need.
class AdapterSystem {
public:
    virtual ~AdapterSystem() = default;
    virtual bool HasAdapterQuery() noexcept = 0;
    virtual std::uint32_t QueryAdapters(std::uint32_t& size, std::vector<AdapterRow>& rows) = 0;
    // The interface that routes to the unspecified address of the family (4 or 6).
    [[nodiscard]] virtual ResultCode BestInterface(AddressFamily family, bool extended,
                                                   std::uint32_t& index) noexcept = 0;
    virtual std::uint32_t EnumRasConnections(std::uint32_t& size,
                                             std::vector<RasConnectionRow>& rows) = 0;
    virtual std::uint32_t EnumPhoneBookEntries(std::uint32_t& size,
                                               std::vector<std::wstring>& names) = 0;
    [[nodiscard]] virtual ResultCode QuerySharing(std::vector<SharedConnectionRow>& rows) = 0;
    virtual bool OpenDevice(const std::wstring& path) noexcept = 0;
};

struct OsAdapter {
    std::optional<Guid> guid;
    std::uint32_t ifIndex = 0;
    std::uint32_t ipv6IfIndex = 0;
    std::wstring windowsId;
    std::wstring description;
    std::wstring friendlyName;
    std::vector<std::uint8_t> physicalAddress;  // empty: none
    std::uint32_t flags = 0;
    struct Address {
        IpAddress address;
        std::uint32_t prefixLength = 0;
    };
    std::vector<Address> addresses;
};

inline constexpr std::uint32_t kFirstAdapterBufferSize = 4096;
inline constexpr int kMaxAdapterQueryCalls = 10;
// Sizes beyond this are taken as nonsense rather than allocated.
inline constexpr std::uint32_t kMaxAdapterBufferSize = 64u << 20;
inline constexpr std::uint32_t kFirstRasBufferSize = 0x558;
inline constexpr int kMaxRasCalls = 16;

class OsAdapters {
public:
    OsAdapters(AdapterSystem& system, OsVersionRecord os, LogSink& log)
        : system_(system), os_(std::move(os)), log_(log) {}

    [[nodiscard]] ResultCode Refresh();
    const std::vector<OsAdapter>& List() const noexcept { return list_; }

private:
    [[nodiscard]] ResultCode ReadAdapterRows(std::vector<AdapterRow>& rows);
    std::vector<std::wstring> ActiveVpnConnections();
    void AddPhoneBookRecords();
    void ApplySharing();
    [[nodiscard]] bool MarkSharedConnections();
    void MarkByAddress(bool deviceCheck);
    void LogFailure(const wchar_t* what, ResultCode code);

    AdapterSystem& system_;
    OsVersionRecord os_;
    LogSink& log_;
    std::vector<OsAdapter> list_;
};

// The VPN rule for one record, given the names of the active VPN dial-up connections.
bool IsVpnAdapter(const OsAdapter& adapter, const std::vector<std::wstring>& vpnConnections);

// The record of one adapter row, without the VPN flag.
OsAdapter MakeAdapterRecord(const AdapterRow& row, std::uint32_t bestIpv4, std::uint32_t bestIpv6);

// The text of one record, without the closing blank lines.
std::wstring AdapterText(const OsAdapter& adapter, const OsVersionRecord& os);

}  // namespace qor
