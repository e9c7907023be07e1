#pragma once
#include "diag/collectors.h"
#include "product/log_sink.h"

namespace qor {

// The collectors of a real run: those built so far, the rest unfinished. `log` takes the
// records of the layers that log; it outlives the collectors.
Collectors ProductCollectors(LogSink& log);

}  // namespace qor
