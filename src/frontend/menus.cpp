#include "frontend/menus.h"

#include "frontend/banner.h"

namespace qor {
namespace {

// The next byte that is not a line end.
int ReadKey(Console& console) {
    for (;;) {
        const int byte = console.ReadByte();
        if (byte != '\n' && byte != '\r') return byte;
    }
}

}  // namespace

MenuExit RunExpertMenu(Console& console, FrontEndActions& actions) {
    for (;;) {
        console.Write(kExpertMenuText);
        switch (ReadKey(console)) {
            case kEndOfInput: return MenuExit::EndOfInput;
            case '1': actions.EnableAllDebugLogging(); return MenuExit::Back;
            case '2': actions.DisableDebugLogging(false); return MenuExit::Back;
            case '3': actions.MakeServiceUnstoppable(); return MenuExit::Back;
            case '4': actions.CreateDiagnosticsPackage(false); return MenuExit::Back;
            case '8': actions.SaveReportAndOpen(); return MenuExit::Back;
            case '9': actions.MakeServiceStoppable(); return MenuExit::Back;
            case '5': case '6': case '7':
            case 'Q': case 'q': case 'X': case 'x': return MenuExit::Back;
            default: console.Write(L"\n");
        }
    }
}

void RunMainMenu(Console& console, FrontEndActions& actions) {
    for (;;) {
        console.Write(kMainMenuText);
        switch (ReadKey(console)) {
            case kEndOfInput:
            case 'Q': case 'q': case 'X': case 'x': return;
            case '1': actions.EnableDebugLogging(false); break;
            case '2': actions.EnableDebugLogging(true); break;
            case '3': actions.DisableDebugLogging(false); break;
            case '4': actions.DisableDebugLogging(true); break;
            case '5': actions.CreateDiagnosticsPackage(true); break;
            case '6':
                if (RunExpertMenu(console, actions) == MenuExit::EndOfInput) return;
                break;
            default: console.Write(L"\n");
        }
    }
}

}  // namespace qor
