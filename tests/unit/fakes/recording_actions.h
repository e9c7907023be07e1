#pragma once
#include <string>
#include <vector>

#include "frontend/actions.h"
#include "common/console.h"

namespace qor::test {

// Records each action by name and writes a marker to the console so the order of
// actions and menus can be checked in one transcript.
class RecordingActions final : public FrontEndActions {
public:
    explicit RecordingActions(Console& console) : console_(console) {}

    ResultCode AttachLoggingModule() override { return Record(L"attach", attachCode); }
    void EnableDebugLogging(bool driver) override {
        Record(driver ? L"enable(driver)" : L"enable(app)");
    }
    void EnableAllDebugLogging() override { Record(L"enable-all"); }
    void DisableDebugLogging(bool driver) override {
        Record(driver ? L"disable(driver)" : L"disable(app)");
    }
    void MakeServiceStoppable() override { Record(L"stoppable"); }
    void MakeServiceUnstoppable() override { Record(L"unstoppable"); }
    void CreateDiagnosticsPackage(bool remove) override {
        Record(remove ? L"package(remove)" : L"package(keep)");
    }
    void SaveReportAndOpen() override { Record(L"report"); }
    ResultCode RunToFile(const std::wstring& name) override {
        return Record(L"run(" + name + L")", runCode);
    }
    ResultCode RepairInfCacheAction() override { return Record(L"repair", repairCode); }

    std::vector<std::wstring> calls;
    ResultCode attachCode = 0;
    ResultCode runCode = 0;
    ResultCode repairCode = 0;

private:
    ResultCode Record(const std::wstring& name, ResultCode code = 0) {
        calls.push_back(name);
        console_.Write(L"<" + name + L">");
        return code;
    }

    Console& console_;
};

}  // namespace qor::test
