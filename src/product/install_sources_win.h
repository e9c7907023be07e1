#pragma once
#include "product/install_lookup.h"

namespace qor {

// The process's installation lookup, reading the real registry and folders.
ProductInstallation& ProcessInstallation();

// The same lookup for code that runs before start-up (static initialisers): the system's
// bitness is asked of the system, not of the process's OS record, which is not filled yet.
ProductInstallation& StartupInstallation();

}  // namespace qor
