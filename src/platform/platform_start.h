#pragma once
#include "common/result.h"

namespace qor {

// Once at start-up, before anything is printed.
[[nodiscard]] ResultCode StartPlatform() noexcept;

}  // namespace qor
