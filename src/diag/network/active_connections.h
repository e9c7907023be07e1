#pragma once
// The active connections step: the connection tables into "condump.txt", then the listing of
// the system's own program.
#include <functional>
#include <memory>

#include "diag/run/command_launcher.h"
#include "diag/network/connection_table.h"
#include "platform/os_version.h"

namespace qor {

// Null when the IP helper or one of its functions is missing.
using OpenConnectionTables = std::function<std::unique_ptr<ConnectionTableReader>()>;

// The tables are dumped only where the system has them; whether they could be read or written
// is not reported. The result is that of the listing, unless memory ran out first.
[[nodiscard]] ResultCode DumpActiveConnections(const OsVersionRecord& os,
                                               const OpenConnectionTables& open,
                                               const CaptureTarget& target) noexcept;

// The connection listing, appended to "netdump.txt" by the command interpreter, which runs
// no AutoRun command; a work directory whose path holds "%" gives the bad-path-name code.
[[nodiscard]] ResultCode DumpNetstat(const CaptureTarget& target) noexcept;
std::wstring NetstatCommandLine(const std::wstring& systemFolder, const std::wstring& outputPath);

}  // namespace qor
