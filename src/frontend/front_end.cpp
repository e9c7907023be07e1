#include "frontend/front_end.h"

#include "frontend/banner.h"
#include "frontend/command_line.h"
#include "frontend/menus.h"

namespace qor {

ResultCode RunFrontEnd(const std::vector<std::wstring>& args, Console& console,
                       FrontEndActions& actions, PlatformStartFn startPlatform) {
    if (const ResultCode started = startPlatform(); Failed(started)) return started;
    console.Write(BannerText());

    const Command command = ParseCommandLine(args);
    if (command.kind == CommandKind::Help) {
        console.Write(kHelpText);
        return rc::Ok;
    }
    (void)actions.AttachLoggingModule();

    switch (command.kind) {
        case CommandKind::RepairInfCache: return actions.RepairInfCacheAction();
        case CommandKind::RunToFile: return actions.RunToFile(command.fileName);
        default: RunMainMenu(console, actions); return rc::Ok;
    }
}

}  // namespace qor
