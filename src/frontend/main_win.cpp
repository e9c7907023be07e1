// Process entry point of qorfwdiag.exe: the real console, registry, file system and shell.
#include <string>
#include <vector>

#include "archive/zip_directory_tree.h"
#include "crash/crash_handling_win.h"
#include "frontend/product_collectors_win.h"
#include "diag/run/run_platform_win.h"
#include "frontend/console_win.h"
#include "frontend/front_end.h"
#include "product/install_sources_win.h"
#include "product/logging_module_win.h"
#include "frontend/product_actions.h"
#include "frontend/shell_win.h"
#include "maintenance/inf_repair_win.h"
#include "maintenance/service_stoppable.h"
#include "platform/os_version.h"
#include "platform/platform_start.h"
#include "platform/process_launch.h"

namespace {

qor::RunFactory MakeRunFactory(qor::Console& console, qor::LogSink& log) {
    return [&console, &log]() -> std::unique_ptr<qor::DiagnosticsRun> {
        if (qor::StepThreadAbandoned()) return nullptr;  // the process must end first
        qor::AcceptLaunchedChildren();
        return std::make_unique<qor::DiagnosticsRun>(qor::RunDependencies{
            console,
            qor::ProcessInstallation(),
            qor::EnableDebugPrivilege,
            qor::MakeFsRedirection(),
            qor::ProductCollectors(log),
            [&console](const std::wstring& source, const std::wstring& archive, bool verbose) {
                qor::zip::ZipOptions options;
                // Workers would be joined: none once a step thread was given up.
                options.workers = qor::StepThreadAbandoned()
                                      ? 0
                                      : qor::GetOsVersionRecord().numberOfProcessors;
                return qor::ZipDirectoryTree(source, archive, verbose, console,
                                             qor::SleepMilliseconds, options);
            },
            qor::SteadyMilliseconds(),
            qor::WaitForLaunchedChildren,
            qor::StepDeadlineFromEnvironment(),
            qor::MakeStepThread,
            qor::WinPageSystem(),
            qor::StepsAtOnceFromEnvironment(),
        });
    };
}

qor::ResultCode StartPlatformAndCrashTools() {
    const qor::ResultCode code = qor::StartPlatform();
    qor::PrepareCrashDumpTools();
    return code;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    qor::WinConsole console;
    qor::WinLoggingModule logging;  // attached for the rest of the process
    qor::WinShell shell;
    qor::PackageActions packages(console, qor::ProcessInstallation(), MakeRunFactory(console, logging), shell);
    qor::ProductActions actions(console, qor::ProcessInstallation(), logging, packages,
                                [](bool stoppable) {
                                    return qor::SetServiceStoppable(qor::ProcessInstallation(),
                                                                    stoppable);
                                },
                                qor::RepairInfCacheOnThisComputer);
    const int exitCode = qor::RunFrontEnd(args, console, actions, StartPlatformAndCrashTools);
    if (qor::StepThreadAbandoned()) qor::EndProcessWithoutDetach(exitCode);
    return exitCode;
}
