#pragma once
// The menu actions that switch the suite's debug logging and tell how it went.
#include "common/console.h"
#include "product/install_lookup.h"

namespace qor {

void EnableDebugLogging(Console& console, ProductInstallation& installation, bool driver);
void EnableAllDebugLogging(Console& console, ProductInstallation& installation);
void DisableDebugLogging(Console& console, ProductInstallation& installation, bool driver);

}  // namespace qor
