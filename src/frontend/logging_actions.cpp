#include "frontend/logging_actions.h"

#include "common/error_record.h"
#include "frontend/error_report.h"
#include "maintenance/debug_logging.h"

namespace qor {
namespace {

constexpr const wchar_t* kDebugEnabled =
    L"\nDEBUG logs are ENABLED.\n"
    L"Please note QOR is logging which might influence its performance (speed)!";
constexpr const wchar_t* kAllEnabled =
    L"\nALL logs are ENABLED.\n"
    L"Please note QOR is heavily logging which greatly influences its performance (speed)!";
constexpr const wchar_t* kDisabled = L"\nDebug logs disabled.";

void Switch(Console& console, ProductInstallation& installation, LogSeverity level, bool driver,
            const wchar_t* success) {
    const Result result(SetDebugLogging(installation, level, driver));
    if (result.IsFailed()) {
        PrintError(console, result);
        return;
    }
    console.Write(success);
}

}  // namespace

void EnableDebugLogging(Console& console, ProductInstallation& installation, bool driver) {
    Switch(console, installation, severity::Debug, driver, kDebugEnabled);
}

void EnableAllDebugLogging(Console& console, ProductInstallation& installation) {
    Switch(console, installation, severity::All, false, kAllEnabled);
}

void DisableDebugLogging(Console& console, ProductInstallation& installation, bool driver) {
    Switch(console, installation, severity::Info, driver, kDisabled);
}

}  // namespace qor
