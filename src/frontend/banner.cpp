#include "frontend/banner.h"

#include "common/text_format.h"
#include "frontend/version.h"

namespace qor {

static_assert(ToolRevision == QOR_TOOL_REVISION && ProductVersion == QOR_PRODUCT_VERSION,
              "banner and version resource disagree");

std::wstring BannerText() {
    return FormatText(
        L"\n|-------------------------------|\n"
        L"| QOR Firewall Diagnostics Tool |\n"
        L"|     version 2.0 (rev %3i)     |\n"
        L"|     product version %4i      |\n"
        L"| (c) QOR. All rights reserved. |\n"
        L"|-------------------------------|\n\n"
        L"Notice!\n"
        L"Using this tool without authorization from QOR Technical Support\n"
        L"might lead to QOR performance issues, malfunctioning and misbehavior.\n\n",
        ToolRevision, ProductVersion);
}

}  // namespace qor
