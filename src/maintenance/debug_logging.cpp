#include "maintenance/debug_logging.h"

#include <string>

#include "common/path_join.h"
#include "maintenance/log_config_file.h"

namespace qor {
namespace {

constexpr std::wstring_view kKey = L"Severity";

// A file that cannot be read is no failure when it is `optional`.
ResultCode SetSeverity(const std::wstring& path, std::wstring_view section,
                       std::wstring_view value, bool optional) {
    LogConfigFile file;
    if (const ResultCode loaded = file.Load(path); Failed(loaded)) {
        return optional ? rc::Ok : loaded;
    }
    LogConfigEntry* entry = nullptr;
    if (const ResultCode found = file.Find(section, kKey, entry); Failed(found)) return found;
    if (!entry) return logcfg::NoEntry;
    LogConfigFile::SetValue(*entry, std::wstring(value));
    return file.Save(path);
}

}  // namespace

ResultCode SetDebugLogging(ProductInstallation& installation, LogSeverity level, bool driver) {
    std::wstring directory;
    installation.GetLogDirectory(directory);
    const std::wstring_view value = SeverityName(level);
    if (driver) return SetSeverity(JoinPath(directory, L"tdilog.cfg"), L"QOR.TDI", value, true);
    for (const wchar_t* name : {L"privlog.cfg", L"publog.cfg"}) {
        if (const ResultCode code = SetSeverity(JoinPath(directory, name), L"root", value, false);
            Failed(code)) {
            return code;
        }
    }
    return SetSeverity(JoinPath(directory, L"fwlog.cfg"), L"QOR.QORFW", value, true);
}

}  // namespace qor
