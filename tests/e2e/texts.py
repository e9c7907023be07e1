"""The console texts the program must print, byte for byte (LF line ends)."""

BANNER = (
    "\n|-------------------------------|\n"
    "| QOR Firewall Diagnostics Tool |\n"
    "|     version 2.0 (rev 241)     |\n"
    "|     product version 4203      |\n"
    "| (c) QOR. All rights reserved. |\n"
    "|-------------------------------|\n\n"
    "Notice!\n"
    "Using this tool without authorization from QOR Technical Support\n"
    "might lead to QOR performance issues, malfunctioning and misbehavior.\n\n")

HELP = (
    "\nAvailable arguments (case sensitive, starting with '-' or '/'):\n"
    "run <FILENAME> = run diag and save output to FILENAME.\n"
    "repairinfcache = run INF cache repair and NDIS reinstallation.\n"
    "h, help, ? = help\n\n")

MAIN_MENU = (
    "\n\n===================================\n"
    "            [Main Menu]\n"
    "Please choose one of the options:\n"
    "-----------------------------------\n"
    "[1] Enable app debug logging\n"
    "[2] Enable driver debug logging\n"
    "[3] Disable app debug logging\n"
    "[4] Disable driver debug logging\n"
    "[5] CREATE DIAGNOSTICS PACKAGE\n"
    "[6] Expert settings... \n"
    "-----------------------------------\n"
    "[X][Q] Quit\n"
    "===================================\n")

EXPERT_MENU = (
    "\n\n\n===================================\n"
    "          [Expert Settings]\n"
    "Please choose one of the options:\n"
    "-----------------------------------\n"
    " [1] Enable all app debug logging\n"
    " [2] Disable all app debug logging\n"
    " [3] Unstoppable service\n"
    " [4] Save diagnostics info to TEMP\n"
    "-----------------------------------\n"
    " [X][Q] Back\n"
    "===================================\n")


NOT_SUPPORTED = 0xE0010054


def error_report(code: int) -> str:
    return (f"Error caught:\nQorFwDiag error: {code:08x}\n\n"
            "Please provide it to your Technical Support contact.\n")


DEBUG_ENABLED = ("\nDEBUG logs are ENABLED.\n"
                 "Please note QOR is logging which might influence its performance (speed)!")
ALL_ENABLED = ("\nALL logs are ENABLED.\n"
               "Please note QOR is heavily logging which greatly influences its performance (speed)!")
DEBUG_DISABLED = "\nDebug logs disabled."
