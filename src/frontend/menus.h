#pragma once
#include "frontend/actions.h"
#include "common/console.h"

namespace qor {

enum class MenuExit { Back, EndOfInput };

// Until a quit key or the end of input.
void RunMainMenu(Console& console, FrontEndActions& actions);

// Until one action, a back key or the end of input.
MenuExit RunExpertMenu(Console& console, FrontEndActions& actions);

}  // namespace qor
