#pragma once
#include "diag/collectors.h"

namespace qor {

// The collectors of a real run: those built so far, the rest unfinished.
Collectors ProductCollectors();

}  // namespace qor
