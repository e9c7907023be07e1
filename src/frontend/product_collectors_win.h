#pragma once
#include "common/console.h"
#include "diag/run/collectors.h"
#include "product/log_sink.h"

namespace qor {

// The collectors of a real run: those built so far, the rest unfinished. Messages that go
// straight to the console (not through the run) are written to `console`; `log` takes the
// records of the layers that log. Both outlive the collectors.
Collectors ProductCollectors(Console& console, LogSink& log);

}  // namespace qor
