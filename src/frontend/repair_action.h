#pragma once
#include <functional>

#include "common/console.h"
#include "common/result.h"

namespace qor {

// Runs the INF cache repair, printing its steps; answers its code.
using InfRepairRunner = std::function<ResultCode(Console&)>;

// The "repairinfcache" action: the repair between its opening and closing messages. The
// repair's code is the answer, a positive one included.
[[nodiscard]] ResultCode RunInfRepairAction(Console& console, const InfRepairRunner& repair);

}  // namespace qor
