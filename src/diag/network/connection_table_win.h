#pragma once
// The connection tables of the system's IP helper.
#include <memory>

#include "diag/network/connection_table.h"

namespace qor {

// Null when "iphlpapi.dll" or one of its two table functions is missing.
std::unique_ptr<ConnectionTableReader> OpenIpHelperTables() noexcept;

}  // namespace qor
