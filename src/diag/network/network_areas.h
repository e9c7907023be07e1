#pragma once
// "netareas.txt": the networks the system's network list knows and the adapter records.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/result.h"
#include "diag/network/net_types.h"
#include "diag/network/os_adapters.h"

namespace qor {

struct NetworkConnectionEntry {
    std::uint32_t connectivity = 0;
    std::uint32_t domainType = 0;
    std::optional<Guid> connectionId;
    std::optional<Guid> adapterId;
};

struct NetworkEntry {
    std::wstring name;
    std::wstring description;
    std::optional<Guid> networkId;
    std::uint32_t domainType = 0;
    std::uint32_t connectivity = 0;
    std::uint32_t category = 0;
    std::uint32_t networkClass = 0;
    std::vector<NetworkConnectionEntry> connections;
};

// COM answers the network list section tells apart.
inline constexpr ResultCode kComFalse = 1;
inline constexpr ResultCode kComChangedMode = static_cast<ResultCode>(0x80010106u);

// The system's network list manager.
class NetworkListSource {
public:
    virtual ~NetworkListSource() = default;
    // The answer of the multithreaded COM initialisation.
    [[nodiscard]] virtual ResultCode InitializeCom() noexcept = 0;
    virtual void UninitializeCom() noexcept = 0;
    // Every network whose fields could all be read, in enumeration order; the manager's
    // failure to start or to list its networks is answered.
    [[nodiscard]] virtual ResultCode ReadNetworks(std::vector<NetworkEntry>& networks) = 0;
};

std::wstring NetworkText(const NetworkEntry& network);

[[nodiscard]] ResultCode DumpNetworkAreas(const OsVersionRecord& os, NetworkListSource& networks,
                                          AdapterSystem& adapters, LogSink& log,
                                          std::wstring& text);

}  // namespace qor
