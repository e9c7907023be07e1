#pragma once
#include <functional>
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
    // Sets whether the firewall service may be stopped.
    using StoppableSetter = std::function<ResultCode(bool stoppable)>;

    ProductActions(Console& console, ProductInstallation& installation, LoggingModule& logging,
                   PackageActions& packages, StoppableSetter setStoppable,
                   InfRepairRunner repair = {})
        : console_(console),
          installation_(installation),
          logging_(logging),
          packages_(packages),
          setStoppable_(std::move(setStoppable)),
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
    void SetStoppable(bool stoppable, const wchar_t* done);

    Console& console_;
    ProductInstallation& installation_;
    LoggingModule& logging_;
    PackageActions& packages_;
    StoppableSetter setStoppable_;
    InfRepairRunner repair_;
};

}  // namespace qor
