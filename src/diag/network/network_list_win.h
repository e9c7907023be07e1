#pragma once
// The system's network list manager through COM.
#include "diag/network/network_areas.h"

namespace qor {

class WinNetworkListSource final : public NetworkListSource {
public:
    [[nodiscard]] ResultCode InitializeCom() noexcept override;
    void UninitializeCom() noexcept override;
    [[nodiscard]] ResultCode ReadNetworks(std::vector<NetworkEntry>& networks) override;
};

}  // namespace qor
