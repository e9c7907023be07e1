#pragma once
#include <string>
#include <vector>

#include "common/result.h"
#include "frontend/actions.h"
#include "common/console.h"

namespace qor {

using PlatformStartFn = ResultCode (*)();

// The entry point's work: platform start, banner, help, dispatch. `args` excludes the
// program name. Returns the process exit code.
[[nodiscard]] ResultCode RunFrontEnd(const std::vector<std::wstring>& args, Console& console,
                                     FrontEndActions& actions, PlatformStartFn startPlatform);

}  // namespace qor
