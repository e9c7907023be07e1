#include "diag/network/active_connections.h"

#include <new>
#include <string>

#include "diag/run/dump_file.h"

namespace qor {
namespace {

void DumpConnectionTables(const OpenConnectionTables& open, const std::wstring& workDirectory) {
    const std::unique_ptr<ConnectionTableReader> reader = open();
    if (!reader) return;
    std::wstring text;
    (void)AppendConnectionTables(*reader, text);
    (void)WriteDumpFile(workDirectory, L"condump.txt", text);
}

}  // namespace

ResultCode DumpActiveConnections(const OsVersionRecord& os, const OpenConnectionTables& open,
                                 const CaptureTarget& target) noexcept {
    if (ConnectionTablesAvailable(os)) {
        try {
            DumpConnectionTables(open, target.workDirectory);
        } catch (const std::bad_alloc&) {
            return rc::OutOfMemory;
        }
    }
    return DumpNetstat(target);
}

}  // namespace qor
