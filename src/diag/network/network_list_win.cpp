#include "diag/network/network_list_win.h"

#include <windows.h>
#include <netlistmgr.h>
#include <ocidl.h>

#include "diag/network/com_ref_win.h"
#include "diag/network/net_types_win.h"

namespace qor {
namespace {

constexpr GUID kNetworkListManagerClass = {
    0xDCB00C01, 0x570F, 0x4A9B, {0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B}};
constexpr GUID kNetworkListManagerInterface = {
    0xDCB00000, 0x570F, 0x4A9B, {0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B}};
constexpr GUID kPropertyBagInterface = {
    0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
constexpr DWORD kAllContexts = 0x17;

bool ReadConnection(INetworkConnection& connection, NetworkConnectionEntry& entry) {
    NLM_CONNECTIVITY connectivity{};
    NLM_DOMAIN_TYPE domainType{};
    GUID connectionId{};
    GUID adapterId{};
    if (FAILED(connection.GetConnectivity(&connectivity)) ||
        FAILED(connection.GetDomainType(&domainType)) ||
        FAILED(connection.GetConnectionId(&connectionId)) ||
        FAILED(connection.GetAdapterId(&adapterId))) {
        return false;
    }
    entry.connectivity = static_cast<std::uint32_t>(connectivity);
    entry.domainType = static_cast<std::uint32_t>(domainType);
    entry.connectionId = GuidFromSystem(connectionId);
    entry.adapterId = GuidFromSystem(adapterId);
    return true;
}

bool ReadConnections(INetwork& network, std::vector<NetworkConnectionEntry>& connections) {
    ComRef<IEnumNetworkConnections> items;
    if (FAILED(network.GetNetworkConnections(items.Put())) || !items) return false;
    for (;;) {
        ComRef<INetworkConnection> connection;
        ULONG fetched = 0;
        if (items->Next(1, connection.Put(), &fetched) != S_OK || fetched != 1 || !connection) {
            return true;
        }
        NetworkConnectionEntry entry;
        if (!ReadConnection(*connection.Get(), entry)) return false;
        connections.push_back(entry);
    }
}

bool ReadNetworkClass(INetwork& network, std::uint32_t& networkClass) {
    ComRef<IPropertyBag> bag;
    if (FAILED(network.QueryInterface(kPropertyBagInterface, bag.PutVoid())) || !bag) return false;
    VariantValue value;
    V_VT(value.Get()) = VT_UINT;
    if (FAILED(bag->Read(L"NA_NetworkClass", value.Get(), nullptr))) return false;
    if (V_VT(value.Get()) != VT_UINT && V_VT(value.Get()) != VT_UI4 &&
        V_VT(value.Get()) != VT_I4 && V_VT(value.Get()) != VT_INT) {
        return false;
    }
    networkClass = V_UI4(value.Get());
    return true;
}

// All fields of one network, or false when any of them cannot be read.
bool ReadNetwork(INetwork& network, NetworkEntry& entry) {
    BstrText name;
    BstrText description;
    GUID networkId{};
    NLM_DOMAIN_TYPE domainType{};
    NLM_CONNECTIVITY connectivity{};
    NLM_NETWORK_CATEGORY category{};
    if (FAILED(network.GetName(name.Put())) || FAILED(network.GetDescription(description.Put())) ||
        FAILED(network.GetNetworkId(&networkId)) || FAILED(network.GetDomainType(&domainType)) ||
        FAILED(network.GetConnectivity(&connectivity)) || FAILED(network.GetCategory(&category)) ||
        !ReadNetworkClass(network, entry.networkClass) ||
        !ReadConnections(network, entry.connections)) {
        return false;
    }
    entry.name = name.Text();
    entry.description = description.Text();
    entry.networkId = GuidFromSystem(networkId);
    entry.domainType = static_cast<std::uint32_t>(domainType);
    entry.connectivity = static_cast<std::uint32_t>(connectivity);
    entry.category = static_cast<std::uint32_t>(category);
    return true;
}

}  // namespace

ResultCode WinNetworkListSource::InitializeCom() noexcept {
    return CoInitializeEx(nullptr, COINIT_MULTITHREADED);
}

void WinNetworkListSource::UninitializeCom() noexcept { CoUninitialize(); }

ResultCode WinNetworkListSource::ReadNetworks(std::vector<NetworkEntry>& networks) {
    ComRef<INetworkListManager> manager;
    HRESULT answer = CoCreateInstance(kNetworkListManagerClass, nullptr, kAllContexts,
                                      kNetworkListManagerInterface, manager.PutVoid());
    if (FAILED(answer)) return answer;
    ComRef<IEnumNetworks> items;
    answer = manager->GetNetworks(NLM_ENUM_NETWORK_ALL, items.Put());
    if (FAILED(answer)) return answer;
    if (!items) return E_POINTER;

    std::vector<NetworkEntry> found;
    for (;;) {
        ComRef<INetwork> network;
        ULONG fetched = 0;
        if (items->Next(1, network.Put(), &fetched) != S_OK || fetched != 1 || !network) break;
        NetworkEntry entry;
        if (ReadNetwork(*network.Get(), entry)) found.push_back(std::move(entry));
    }
    networks = std::move(found);
    return rc::Ok;
}

}  // namespace qor
