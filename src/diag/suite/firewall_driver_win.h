#pragma once
// The firewall driver's report through the real service manager and device.
#include <string>

#include "common/result.h"

namespace qor {

[[nodiscard]] ResultCode QueryFirewallDriver(std::wstring& text);

}  // namespace qor
