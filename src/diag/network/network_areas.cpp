#include "diag/network/network_areas.h"

#include "common/text_format.h"

namespace qor {
namespace {

struct FlagWord {
    std::uint32_t flag;
    const wchar_t* word;
};

constexpr FlagWord kFlagWords[] = {
    {adapter_flag::Active, L"Active, "},
    {adapter_flag::DefaultRouteIp4, L"DefaultRouteIP4, "},
    {adapter_flag::DefaultRouteIp6, L"DefaultRouteIP6, "},
    {adapter_flag::DialUp, L"Dial-up, "},
    {adapter_flag::Loopback, L"Loopback, "},
    {adapter_flag::SharedPrivate, L"SharedPrivate, "},
    {adapter_flag::Shared, L"Shared, "},
    {adapter_flag::Unsupported, L"Unsupported, "},
    {adapter_flag::Tunnel, L"Tunnel, "},
    {adapter_flag::Vpn, L"VPN, "},
};

std::wstring Hex(std::uint32_t value) { return FormatText(L"0x%x", value); }

[[nodiscard]] ResultCode DumpNetworkList(NetworkListSource& source, std::wstring& text) {
    text += L"NLA networks:\n";
    const ResultCode init = source.InitializeCom();
    if (init != rc::Ok && init != kComFalse && init != kComChangedMode) return init;
    std::vector<NetworkEntry> networks;
    const ResultCode code = source.ReadNetworks(networks);
    // Only an initialisation of our own is undone.
    if (init != kComChangedMode) source.UninitializeCom();
    if (Failed(code)) return code;
    for (const NetworkEntry& network : networks) text += NetworkText(network);
    return rc::Ok;
}

}  // namespace

std::wstring NetworkText(const NetworkEntry& network) {
    std::wstring text = L"Network name:" + network.name + L", description:" +
                        network.description + L", connectivity:" + Hex(network.connectivity) +
                        L", category:" + Hex(network.category) + L", class:" +
                        Hex(network.networkClass) + L", domain type:" + Hex(network.domainType) +
                        L", network guid:" + GuidText(network.networkId) + L"\n";
    for (const NetworkConnectionEntry& connection : network.connections) {
        text += L"\t Connection connectivity:" + Hex(connection.connectivity) +
                L", domain type:" + Hex(connection.domainType) + L", connection guid:" +
                GuidText(connection.connectionId) + L", adapter guid:" +
                GuidText(connection.adapterId) + L"\n";
    }
    return text;
}

std::wstring AdapterText(const OsAdapter& adapter, const OsVersionRecord& os) {
    std::wstring text;
    if (os.IsXpOrLater()) text += L"Adapter name:" + adapter.friendlyName + L"\n";
    text += L"Description:" + adapter.description + L"\nWindows ID:" + adapter.windowsId +
            L"\nSystem GUID:" + GuidText(adapter.guid) + L"\nFlags: {";
    for (const FlagWord& word : kFlagWords) {
        if (adapter.flags & word.flag) text += word.word;
    }
    text += L"}\nMAC Address:" +
            PhysicalAddressText(adapter.physicalAddress.data(), adapter.physicalAddress.size()) +
            L"\nIP Address:\n";
    for (const OsAdapter::Address& entry : adapter.addresses) {
        text += L"\taddress:" + AddressText(entry.address) + L", mask:" +
                AddressText(PrefixMask(entry.address.family, entry.prefixLength)) + L"\n";
    }
    return text;
}

ResultCode DumpNetworkAreas(const OsVersionRecord& os, NetworkListSource& networks,
                            AdapterSystem& adapters, LogSink& log, std::wstring& text) {
    if (os.filled && os.majorVersion > 5) {
        if (const ResultCode code = DumpNetworkList(networks, text); Failed(code)) return code;
    }
    text += L"Adapters:\n";
    OsAdapters list(adapters, os, log);
    if (const ResultCode code = list.Refresh(); Failed(code)) return code;
    for (const OsAdapter& adapter : list.List()) text += AdapterText(adapter, os) + L"\n\n";
    return rc::Ok;
}

}  // namespace qor
