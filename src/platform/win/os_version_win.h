#pragma once
#include "common/result.h"

namespace qor {

// Fills the process-wide operating-system record from ntdll; a second call does nothing.
[[nodiscard]] ResultCode InitOsVersionRecord() noexcept;

}  // namespace qor
