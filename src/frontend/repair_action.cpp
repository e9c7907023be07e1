#include "frontend/repair_action.h"

#include "common/text_format.h"

namespace qor {

ResultCode RunInfRepairAction(Console& console, const InfRepairRunner& repair) {
    console.Write(L"\nStarting process to repair INF cache(s) on your computer, please wait.\n");
    const ResultCode code = repair(console);
    const auto shown = static_cast<unsigned>(code);
    if (Failed(code)) {
        console.Write(FormatText(L"\nWe are sorry, the process finished with an error (0x%x).\n"
                                 L"Please copy the text and send it to your Customer Services "
                                 L"contact.\n",
                                 shown));
    } else {
        console.Write(FormatText(L"\nRepairing INF cache finished successfully (0x%x).\n"
                                 L"Do not forget to REBOOT COMPUTER to apply changes.\n",
                                 shown));
    }
    return code;
}

}  // namespace qor
