#pragma once
#include <cstdint>

#include "common/result.h"
#include "product/install_lookup.h"

namespace qor {

// Where the suite's configuration keeps whether the firewall service may be stopped.
inline constexpr std::uint32_t kServiceConfigNode = 0xBC1F3A41;
inline constexpr std::uint32_t kServiceStoppableValue = 0x69BEF1A6;

// Sets the value through the suite's configuration module in its program directory.
[[nodiscard]] ResultCode SetServiceStoppable(ProductInstallation& installation, bool stoppable);

}  // namespace qor
