#pragma once
#include "frontend/actions.h"
#include "frontend/console.h"

namespace qor {

// The program's actions. Those whose work has not been built yet report
// rc::NotSupported through PrintErrorCode and change nothing.
class ProductActions final : public FrontEndActions {
public:
    explicit ProductActions(Console& console) : console_(console) {}

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
};

}  // namespace qor
