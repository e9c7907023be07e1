#pragma once
// Switching the suite's logging level in its logging configuration files.
#include "common/result.h"
#include "maintenance/log_severity.h"
#include "product/install_lookup.h"

namespace qor {

// Sets "Severity" to the level's name: in "privlog.cfg" and "publog.cfg" (section "root")
// and, when present, "fwlog.cfg" ("QOR.QORFW"); with `driver` only in "tdilog.cfg"
// ("QOR.TDI"), when present. Files are looked for in the suite's log folder, else in ".\".
// Each file is saved before the next is read; a failure stops there.
[[nodiscard]] ResultCode SetDebugLogging(ProductInstallation& installation, LogSeverity level,
                                         bool driver);

}  // namespace qor
