#include "diag/network/active_connections.h"

#include <cstdint>
#include <new>
#include <string>

#include "common/path_join.h"
#include "common/text_format.h"
#include "diag/run/dump_file.h"

namespace qor {
namespace {

// Only running out of memory is reported.
ResultCode DumpConnectionTables(const OpenConnectionTables& open,
                                const std::wstring& workDirectory) {
    const std::unique_ptr<ConnectionTableReader> reader = open();
    if (!reader) return rc::Ok;
    std::wstring text;
    if (const ResultCode code = AppendConnectionTables(*reader, text); Failed(code)) return code;
    (void)WriteDumpFile(workDirectory, L"condump.txt", text);
    return rc::Ok;
}

constexpr std::uint32_t kBadPathName = 161;

// Characters that make the command interpreter split or reinterpret a bare path.
bool NeedsQuotes(const std::wstring& path) {
    return path.find_first_of(L" \t&()[]{}^=;!'+,`~%") != std::wstring::npos;
}

}  // namespace

std::wstring NetstatCommandLine(const std::wstring& systemFolder, const std::wstring& outputPath) {
    const auto quoted = [](const std::wstring& path) {
        return NeedsQuotes(path) ? L"\"" + path + L"\"" : path;
    };
    // By its full path: the interpreter would look for a bare name along PATH.
    const std::wstring program = quoted(JoinPath(systemFolder, L"netstat.exe"));
    const std::wstring target = quoted(outputPath);
    const std::wstring inner =
        FormatText(L"%ls -ano >> %ls 2>NUL", program.c_str(), target.c_str());
    if (inner.empty()) return {};
    // No AutoRun commands (/D) and no delayed expansion of "!" (/V:OFF), whatever the user's
    // registry says.
    return FormatText(L"cmd.exe /D /V:OFF /U /C \"%ls\"", inner.c_str());
}

ResultCode DumpNetstat(const CaptureTarget& target) noexcept {
    std::wstring path, command;
    if (const ResultCode code = CaptureFilePath(target, L"netdump.txt", path); Failed(code)) return code;
    // The interpreter expands "%NAME%" even inside quotes, and the path comes from TMP.
    if (path.find(L'%') != std::wstring::npos ||
        target.systemFolder.find(L'%') != std::wstring::npos) {
        return ResultFromWin32(kBadPathName);
    }
    if (target.systemFolder.empty()) return rc::PathNotFound;
    try {
        command = NetstatCommandLine(target.systemFolder, path);
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
    if (command.empty()) return rc::OutOfMemory;
    return target.launcher.Detached(command);
}

ResultCode DumpActiveConnections(const OsVersionRecord& os, const OpenConnectionTables& open,
                                 const CaptureTarget& target) noexcept {
    if (ConnectionTablesAvailable(os)) {
        try {
            if (const ResultCode code = DumpConnectionTables(open, target.workDirectory);
                Failed(code)) {
                return code;
            }
        } catch (const std::bad_alloc&) {
            return rc::OutOfMemory;
        }
    }
    return DumpNetstat(target);
}

}  // namespace qor
