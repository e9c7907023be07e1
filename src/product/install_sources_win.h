#pragma once
#include "product/install_lookup.h"

namespace qor {

// The process's installation lookup, reading the real registry and folders.
ProductInstallation& ProcessInstallation();

}  // namespace qor
