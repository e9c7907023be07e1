#pragma once
#include <utility>

#include "frontend/actions.h"
#include "frontend/repair_action.h"
#include "common/console.h"
#include "product/install_lookup.h"
#include "product/logging_attach.h"
#include "frontend/package_actions.h"

namespace qor {

// The program's actions. Those whose work has not been built yet report
// rc::NotSupported through PrintErrorCode and change nothing.
class ProductActions final : public FrontEndActions {
public:
    ProductActions(Console& console, ProductInstallation& installation, LoggingModule& logging,
                   PackageActions& packages, InfRepairRunner repair = {})
        : console_(console),
          installation_(installation),
          logging_(logging),
          packages_(packages),
          repair_(std::move(repair)) {}

    [[nodiscard]] ResultCode AttachLoggingModule() override;

    void EnableDebugLogging(bool driver) override;
    void EnableAllDebugLogging() override;
    void DisableDebugLogging(bool driver) override;
    void MakeServiceStoppable() override;
    void MakeServiceUnstoppable() override;
    void CreateDiagnosticsPackage(bool removeWorkDirectory) override;
    void SaveReportAndOpen() override;

    [[nodiscard]] ResultCode RunToFile(const std::wstring& fileName) override;
    [[nodiscard]] ResultCode RepairInfCacheAction() override;

private:
    ResultCode Unfinished();

    Console& console_;
    ProductInstallation& installation_;
    LoggingModule& logging_;
    PackageActions& packages_;
    InfRepairRunner repair_;
};

}  // namespace qor
