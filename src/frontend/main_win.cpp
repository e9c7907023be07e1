// Process entry point of qorfwdiag.exe.
#include <string>
#include <vector>

#include "frontend/console_win.h"
#include "frontend/front_end.h"
#include "frontend/install_sources_win.h"
#include "frontend/logging_module_win.h"
#include "frontend/product_actions.h"
#include "platform/platform_start.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    qor::WinConsole console;
    qor::WinLoggingModule logging;  // attached for the rest of the process
    qor::ProductActions actions(console, qor::ProcessInstallation(), logging);
    return qor::RunFrontEnd(args, console, actions, qor::StartPlatform);
}
