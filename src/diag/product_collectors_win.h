#pragma once
#include "common/console.h"
#include "diag/collectors.h"

namespace qor {

// The collectors of a real run: those built so far, the rest unfinished. Messages that go
// straight to the console (not through the run) are written to `console`.
Collectors ProductCollectors(Console& console);

}  // namespace qor
