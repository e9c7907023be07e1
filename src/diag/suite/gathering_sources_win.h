#pragma once
#include "diag/suite/product_folders.h"

namespace qor {

// The file gathering's sources on Windows: the process's installation lookup, registry,
// folders and operating-system record.
GatheringSources& ProcessGatheringSources();

}  // namespace qor
