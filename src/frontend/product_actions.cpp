#include "frontend/product_actions.h"

#include "frontend/error_report.h"
#include "frontend/logging_actions.h"

namespace qor {

ResultCode ProductActions::Unfinished() {
    PrintErrorCode(console_, rc::NotSupported);
    return rc::NotSupported;
}

ResultCode ProductActions::AttachLoggingModule() {
    return qor::AttachLoggingModule(installation_, logging_);
}

void ProductActions::EnableDebugLogging(bool driver) {
    qor::EnableDebugLogging(console_, installation_, driver);
}
void ProductActions::EnableAllDebugLogging() { qor::EnableAllDebugLogging(console_, installation_); }
void ProductActions::DisableDebugLogging(bool driver) {
    qor::DisableDebugLogging(console_, installation_, driver);
}
void ProductActions::SetStoppable(bool stoppable, const wchar_t* done) {
    const ResultCode code = setStoppable_(stoppable);
    if (Failed(code)) {
        PrintError(console_, Result(code));
        return;
    }
    console_.Write(done);
}
void ProductActions::MakeServiceStoppable() {
    SetStoppable(true, L"\nFirewall service is stoppable.");
}
void ProductActions::MakeServiceUnstoppable() {
    SetStoppable(false, L"\nFirewall service is unstoppable.");
}
void ProductActions::CreateDiagnosticsPackage(bool removeWorkDirectory) {
    packages_.CreateDiagnosticsPackage(removeWorkDirectory);
}
void ProductActions::SaveReportAndOpen() { packages_.SaveReportAndOpen(); }
ResultCode ProductActions::RunToFile(const std::wstring& fileName) {
    return packages_.RunToFile(fileName);
}
ResultCode ProductActions::RepairInfCacheAction() {
    if (!repair_) return Unfinished();
    return RunInfRepairAction(console_, repair_);
}

}  // namespace qor
