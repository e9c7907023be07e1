#pragma once
// The process list of the running system.
#include <string>

#include "common/result.h"

namespace qor {

[[nodiscard]] ResultCode DumpProcessList(std::wstring& text) noexcept;

}  // namespace qor
