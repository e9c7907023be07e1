#pragma once
#include "common/console.h"
#include "common/result.h"

namespace qor {

// The INF cache repair on this computer: the real registry, files, installer and the
// suite's self-protection module.
[[nodiscard]] ResultCode RepairInfCacheOnThisComputer(Console& console);

}  // namespace qor
