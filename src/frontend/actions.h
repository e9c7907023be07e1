#pragma once
#include <string>

#include "common/result.h"

namespace qor {

// What the menus and the command line can ask for. Each action prints its own outcome;
// the command-line actions also give the process exit code.
class FrontEndActions {
public:
    virtual ~FrontEndActions() = default;

    [[nodiscard]] virtual ResultCode AttachLoggingModule() = 0;

    virtual void EnableDebugLogging(bool driver) = 0;
    virtual void EnableAllDebugLogging() = 0;
    virtual void DisableDebugLogging(bool driver) = 0;
    virtual void MakeServiceStoppable() = 0;
    virtual void MakeServiceUnstoppable() = 0;
    virtual void CreateDiagnosticsPackage(bool removeWorkDirectory) = 0;
    virtual void SaveReportAndOpen() = 0;

    [[nodiscard]] virtual ResultCode RunToFile(const std::wstring& fileName) = 0;
    [[nodiscard]] virtual ResultCode RepairInfCacheAction() = 0;
};

}  // namespace qor
