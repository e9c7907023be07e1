#pragma once
#include "diag/run/collectors.h"
#include "product/log_sink.h"

namespace qor {

// The collectors of a real run: those built so far, the rest unfinished. A step's messages
// for the console are held for the run to show; `log` takes the records of the layers that
// log, and outlives the collectors.
Collectors ProductCollectors(LogSink& log);

}  // namespace qor
