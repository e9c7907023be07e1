#include "diag/network/os_adapters_win.h"

#include <netcon.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "diag/network/com_ref_win.h"
#include "platform/win/library_load_win.h"
#include "platform/win/proc_address_win.h"

namespace qor {
namespace {

constexpr GUID kNetSharingManagerClass = {
    0x5C63C1AD, 0x3956, 0x4FF8, {0x84, 0x86, 0x40, 0x03, 0x47, 0x58, 0x31, 0x5B}};
constexpr GUID kNetSharingManagerInterface = {
    0xC08956B7, 0x1CD3, 0x11D1, {0xB1, 0xC5, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};
constexpr GUID kNetConnectionInterface = {
    0xC08956A1, 0x1CD3, 0x11D1, {0xB1, 0xC5, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};
constexpr GUID kEnumVariantInterface = {
    0x00020404, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

IpAddress AddressFromSocket(const SOCKET_ADDRESS& socket) {
    IpAddress address;
    const sockaddr* raw = socket.lpSockaddr;
    const auto length = static_cast<std::size_t>(socket.iSockaddrLength);
    if (!raw) return address;
    if (raw->sa_family == AF_INET && length >= sizeof(sockaddr_in)) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(raw);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&v4->sin_addr);
        address = IpAddress::V4(bytes[0], bytes[1], bytes[2], bytes[3]);
    } else if (raw->sa_family == AF_INET6 && length >= sizeof(sockaddr_in6)) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(raw);
        std::array<std::uint8_t, 16> bytes{};
        std::memcpy(bytes.data(), &v6->sin6_addr, bytes.size());
        address = IpAddress::V6(bytes);
    }
    return address;
}

std::wstring WideField(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

AdapterRow RowFromAdapter(const IP_ADAPTER_ADDRESSES& adapter) {
    AdapterRow row;
    row.name = adapter.AdapterName ? adapter.AdapterName : "";
    row.description = WideField(adapter.Description);
    row.friendlyName = WideField(adapter.FriendlyName);
    row.ifIndex = adapter.IfIndex;
    row.ipv6IfIndex = adapter.Ipv6IfIndex;
    row.ifType = adapter.IfType;
    row.operStatus = static_cast<std::uint32_t>(adapter.OperStatus);
    const std::size_t physical =
        std::min<std::size_t>(adapter.PhysicalAddressLength, MAX_ADAPTER_ADDRESS_LENGTH);
    row.physicalAddress.assign(adapter.PhysicalAddress, adapter.PhysicalAddress + physical);
    for (auto* unicast = adapter.FirstUnicastAddress; unicast; unicast = unicast->Next) {
        row.unicast.push_back(AddressFromSocket(unicast->Address));
    }
    // The prefix list exists only in entries long enough to hold it.
    if (adapter.Length >= offsetof(IP_ADAPTER_ADDRESSES, FirstPrefix) + sizeof(adapter.FirstPrefix)) {
        for (auto* prefix = adapter.FirstPrefix; prefix; prefix = prefix->Next) {
            row.prefixes.push_back({AddressFromSocket(prefix->Address), prefix->PrefixLength});
        }
    }
    return row;
}

// A buffer of whole entries of T holding at least `size` bytes, at least one entry.
template <typename T>
std::vector<T> EntryBuffer(std::uint32_t size) {
    std::vector<T> entries(std::max<std::size_t>(1, (size + sizeof(T) - 1) / sizeof(T)));
    for (T& entry : entries) entry.dwSize = sizeof(T);
    return entries;
}

}  // namespace

WinAdapterSystem::WinAdapterSystem()
    : ipHelper_(LoadSystemLibrary(L"iphlpapi.dll")), ras_(LoadSystemLibrary(L"rasapi32.dll")) {
    getAdapters_ = LookupExport<GetAdaptersAddressesFn>(ipHelper_.Get(), "GetAdaptersAddresses");
    bestInterface_ = LookupExport<GetBestInterfaceFn>(ipHelper_.Get(), "GetBestInterface");
    bestInterfaceEx_ = LookupExport<GetBestInterfaceExFn>(ipHelper_.Get(), "GetBestInterfaceEx");
    rasConnections_ = LookupExport<RasEnumConnectionsFn>(ras_.Get(), "RasEnumConnectionsW");
    rasEntries_ = LookupExport<RasEnumEntriesFn>(ras_.Get(), "RasEnumEntriesW");
}

std::uint32_t WinAdapterSystem::QueryAdapters(std::uint32_t& size, std::vector<AdapterRow>& rows) {
    // ULONGLONG entries keep the adapter records aligned.
    std::vector<ULONGLONG> buffer((size + sizeof(ULONGLONG) - 1) / sizeof(ULONGLONG) + 1);
    ULONG bytes = size;
    const ULONG error = getAdapters_(AF_UNSPEC, GAA_FLAG_INCLUDE_PREFIX, nullptr,
                                     reinterpret_cast<PIP_ADAPTER_ADDRESSES>(buffer.data()), &bytes);
    if (error != NO_ERROR) {
        size = bytes;
        return error;
    }
    std::vector<AdapterRow> found;
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter;
         adapter = adapter->Next) {
        found.push_back(RowFromAdapter(*adapter));
    }
    rows = std::move(found);
    return NO_ERROR;
}

ResultCode WinAdapterSystem::BestInterface(AddressFamily family, bool extended,
                                           std::uint32_t& index) noexcept {
    DWORD best = 0;
    DWORD error = ERROR_PROC_NOT_FOUND;
    if (family == AddressFamily::Ipv4 && !extended && bestInterface_) {
        error = bestInterface_(0, &best);
    } else if (family == AddressFamily::Ipv4 && extended && bestInterfaceEx_) {
        sockaddr_in any{};
        any.sin_family = AF_INET;
        error = bestInterfaceEx_(reinterpret_cast<sockaddr*>(&any), &best);
    } else if (family == AddressFamily::Ipv6 && extended && bestInterfaceEx_) {
        sockaddr_in6 any{};
        any.sin6_family = AF_INET6;
        error = bestInterfaceEx_(reinterpret_cast<sockaddr*>(&any), &best);
    }
    if (error != NO_ERROR) return ResultFromWin32(error);
    index = best;
    return rc::Ok;
}

std::uint32_t WinAdapterSystem::EnumRasConnections(std::uint32_t& size,
                                                   std::vector<RasConnectionRow>& rows) {
    if (!rasConnections_) return ERROR_PROC_NOT_FOUND;
    std::vector<RASCONNW> entries = EntryBuffer<RASCONNW>(size);
    DWORD bytes = static_cast<DWORD>(entries.size() * sizeof(RASCONNW));
    DWORD count = 0;
    const DWORD error = rasConnections_(entries.data(), &bytes, &count);
    if (error != NO_ERROR) {
        size = bytes;
        return error;
    }
    rows.clear();
    for (DWORD i = 0; i < count && i < entries.size(); ++i) {
        entries[i].szEntryName[RAS_MaxEntryName] = L'\0';
        entries[i].szDeviceType[RAS_MaxDeviceType] = L'\0';
        rows.push_back({entries[i].szEntryName, entries[i].szDeviceType});
    }
    return NO_ERROR;
}

std::uint32_t WinAdapterSystem::EnumPhoneBookEntries(std::uint32_t& size,
                                                     std::vector<std::wstring>& names) {
    if (!rasEntries_) return ERROR_PROC_NOT_FOUND;
    std::vector<RASENTRYNAMEW> entries = EntryBuffer<RASENTRYNAMEW>(size);
    DWORD bytes = static_cast<DWORD>(entries.size() * sizeof(RASENTRYNAMEW));
    DWORD count = 0;
    const DWORD error = rasEntries_(nullptr, nullptr, entries.data(), &bytes, &count);
    if (error != NO_ERROR) {
        size = bytes;
        return error;
    }
    names.clear();
    for (DWORD i = 0; i < count && i < entries.size(); ++i) {
        entries[i].szEntryName[RAS_MaxEntryName] = L'\0';
        names.emplace_back(entries[i].szEntryName);
    }
    return NO_ERROR;
}

namespace {

// The GUID and characteristics of one connection of the sharing manager.
bool ReadSharedConnection(INetSharingManager& manager, IUnknown& item, SharedConnectionRow& row) {
    ComRef<INetConnection> connection;
    if (FAILED(item.QueryInterface(kNetConnectionInterface, connection.PutVoid()))) return false;
    ComRef<INetConnectionProps> props;
    if (FAILED(manager.get_NetConnectionProps(connection.Get(), props.Put())) || !props) {
        return false;
    }
    BstrText guid;
    DWORD characteristics = 0;
    if (FAILED(props->get_Guid(guid.Put())) || FAILED(props->get_Characteristics(&characteristics))) {
        return false;
    }
    row.guid = ParseGuid(guid.Text());
    row.characteristics = characteristics;
    return true;
}

}  // namespace

ResultCode WinAdapterSystem::QuerySharing(std::vector<SharedConnectionRow>& rows) {
    const ComApartment apartment(COINIT_MULTITHREADED);
    if (!apartment.Usable()) return apartment.Answer();
    const HRESULT security = CoInitializeSecurity(nullptr, -1, nullptr, nullptr,
                                                  RPC_C_AUTHN_LEVEL_PKT, RPC_C_IMP_LEVEL_IMPERSONATE,
                                                  nullptr, EOAC_NONE, nullptr);
    if (FAILED(security) && security != RPC_E_TOO_LATE) return security;

    ComRef<INetSharingManager> manager;
    HRESULT answer = CoCreateInstance(kNetSharingManagerClass, nullptr, CLSCTX_ALL,
                                      kNetSharingManagerInterface, manager.PutVoid());
    if (FAILED(answer)) return answer;
    ComRef<INetSharingEveryConnectionCollection> collection;
    answer = manager->get_EnumEveryConnection(collection.Put());
    if (FAILED(answer)) return answer;
    if (!collection) return E_POINTER;
    ComRef<IUnknown> enumerator;
    answer = collection->get__NewEnum(enumerator.Put());
    if (FAILED(answer)) return answer;
    if (!enumerator) return E_POINTER;
    ComRef<IEnumVARIANT> items;
    answer = enumerator->QueryInterface(kEnumVariantInterface, items.PutVoid());
    if (FAILED(answer)) return answer;

    std::vector<SharedConnectionRow> found;
    for (;;) {
        VariantValue item;
        ULONG fetched = 0;
        if (items->Next(1, item.Get(), &fetched) != S_OK || fetched != 1) break;
        const VARTYPE type = V_VT(item.Get());
        IUnknown* object = type == VT_UNKNOWN    ? V_UNKNOWN(item.Get())
                           : type == VT_DISPATCH ? V_DISPATCH(item.Get())
                                                 : nullptr;
        SharedConnectionRow row;
        if (object && ReadSharedConnection(*manager.Get(), *object, row)) found.push_back(row);
    }
    rows = std::move(found);
    return rc::Ok;
}

bool WinAdapterSystem::OpenDevice(const std::wstring& path) noexcept {
    const FileHandle device(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
    return static_cast<bool>(device);
}

}  // namespace qor
