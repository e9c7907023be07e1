#pragma once
// The system information of the running system.
#include <string>

#include "common/console.h"
#include "common/result.h"

namespace qor {

// The volume walk's messages go to `console`.
[[nodiscard]] ResultCode DumpSystemInformation(Console& console, std::wstring& text) noexcept;

}  // namespace qor
