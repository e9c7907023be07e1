#include "frontend/product_actions.h"

#include "frontend/error_report.h"

namespace qor {

ResultCode ProductActions::Unfinished() {
    PrintErrorCode(console_, rc::NotSupported);
    return rc::NotSupported;
}

ResultCode ProductActions::AttachLoggingModule() {
    return qor::AttachLoggingModule(installation_, logging_);
}

void ProductActions::EnableDebugLogging(bool) { (void)Unfinished(); }
void ProductActions::EnableAllDebugLogging() { (void)Unfinished(); }
void ProductActions::DisableDebugLogging(bool) { (void)Unfinished(); }
void ProductActions::MakeServiceStoppable() { (void)Unfinished(); }
void ProductActions::MakeServiceUnstoppable() { (void)Unfinished(); }
void ProductActions::CreateDiagnosticsPackage(bool) { (void)Unfinished(); }
void ProductActions::SaveReportAndOpen() { (void)Unfinished(); }
ResultCode ProductActions::RunToFile(const std::wstring&) { return Unfinished(); }
ResultCode ProductActions::RepairInfCacheAction() { return Unfinished(); }

}  // namespace qor
