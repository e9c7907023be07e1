#pragma once
// The front end's fixed console texts.
#include <string>

#include "product/product_constants.h"

namespace qor {

std::wstring BannerText();

inline constexpr const wchar_t* kHelpText =
    L"\nAvailable arguments (case sensitive, starting with '-' or '/'):\n"
    L"run <FILENAME> = run diag and save output to FILENAME.\n"
    L"repairinfcache = run INF cache repair and NDIS reinstallation.\n"
    L"h, help, ? = help\n\n";

inline constexpr const wchar_t* kMainMenuText =
    L"\n\n===================================\n"
    L"            [Main Menu]\n"
    L"Please choose one of the options:\n"
    L"-----------------------------------\n"
    L"[1] Enable app debug logging\n"
    L"[2] Enable driver debug logging\n"
    L"[3] Disable app debug logging\n"
    L"[4] Disable driver debug logging\n"
    L"[5] CREATE DIAGNOSTICS PACKAGE\n"
    L"[6] Expert settings... \n"
    L"-----------------------------------\n"
    L"[X][Q] Quit\n"
    L"===================================\n";

inline constexpr const wchar_t* kExpertMenuText =
    L"\n\n\n===================================\n"
    L"          [Expert Settings]\n"
    L"Please choose one of the options:\n"
    L"-----------------------------------\n"
    L" [1] Enable all app debug logging\n"
    L" [2] Disable all app debug logging\n"
    L" [3] Unstoppable service\n"
    L" [4] Save diagnostics info to TEMP\n"
    L"-----------------------------------\n"
    L" [X][Q] Back\n"
    L"===================================\n";

}  // namespace qor
