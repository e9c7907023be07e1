#pragma once
#include "platform/registry.h"

namespace qor {

// The process's one reader of the real registry.
RegistryReader& ProcessRegistry();

}  // namespace qor
