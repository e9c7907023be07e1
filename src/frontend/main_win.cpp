// Process entry point of qorfwdiag.exe.
#include <string>
#include <vector>

#include "frontend/console_win.h"
#include "frontend/front_end.h"
#include "frontend/product_actions.h"
#include "platform/platform_start.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    qor::WinConsole console;
    qor::ProductActions actions(console);
    return qor::RunFrontEnd(args, console, actions, qor::StartPlatform);
}
