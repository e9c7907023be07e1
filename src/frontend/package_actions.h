#pragma once
// The actions that make a diagnostics run and deliver its output.
#include <functional>
#include <memory>
#include <string>

#include "diag/run/diagnostics_run.h"
#include "common/console.h"
#include "product/install_lookup.h"

namespace qor {

// The desktop side: showing a file in Explorer and opening a document.
class Shell {
public:
    virtual ~Shell() = default;
    // Fails only when the command line cannot be made; whether Explorer starts is not known.
    [[nodiscard]] virtual ResultCode ShowInExplorer(const std::wstring& path) = 0;
    // Shows a text file in the system's Notepad; whether it starts is not known.
    virtual void Open(const std::wstring& path) = 0;
};

// No run (null) once a step of an earlier run was given up: its thread may still hold locks,
// and only the end of the process takes it away.
using RunFactory = std::function<std::unique_ptr<DiagnosticsRun>()>;

// The package's file name: the part after the last "\", "/" or ":", with ".tmp" made ".zip".
std::wstring PackageCopyName(const std::wstring& packagePath);
// The report's path with ".tmp" made ".txt" in its file name only.
std::wstring ReportTextPath(const std::wstring& reportPath);

class PackageActions {
public:
    PackageActions(Console& console, ProductInstallation& installation, RunFactory makeRun,
                   Shell& shell)
        : console_(console), installation_(installation), makeRun_(std::move(makeRun)), shell_(shell) {}

    void CreateDiagnosticsPackage(bool removeWorkDirectory);
    void SaveReportAndOpen();
    [[nodiscard]] ResultCode RunToFile(const std::wstring& fileName);

private:
    [[nodiscard]] ResultCode CopyToDumpsFolder(const std::wstring& packagePath,
                                               std::wstring& destination);
    void PrintSavedAs(const std::wstring& destination);

    Console& console_;
    ProductInstallation& installation_;
    RunFactory makeRun_;
    Shell& shell_;
};

}  // namespace qor
