"""The e2e cases the emulated guest runs on the shipped 32-bit build when the machine itself
runs no 32-bit code (scripts/guest/tier32.sh; QOR_E2E_CASES=guest). Each checks a separate
behaviour once, favouring what differs between the builds (structure layouts, calling
conventions of the suite's libraries, the 32-bit registry view and folders, the x86 crash
context); all of them use the plain and the suite prefixes but for the XP repair and WOW64.
QOR_GUEST_E2E=full runs the whole tier there instead.

"file::test" runs the first case of that test; "file::test[part]" the case whose id holds
`part`."""

CASES = {
    "test_front_end.py::test_help_is_byte_exact_and_exits_zero":
        "the console text from the string resources, byte for byte, and the exit code",
    "test_front_end.py::test_main_menu_keys_typed_ahead":
        "menu keys read ahead from a redirected input",
    "test_front_end.py::test_run_to_an_unusable_name_gives_the_copy_code":
        "a failed package copy ends with its code",
    "test_console_text.py::test_a_package_path_outside_the_code_page_is_printed_whole":
        "wide text through the console code page",
    "test_crash_handling.py::test_crash_starts_the_dump_tool_which_releases_the_process[thread-av]":
        "the crash filter on the x86 exception context starts the dump tool",
    "test_crash_handling.py::test_without_dump_tool_the_process_ends_at_once_and_no_planted_tool_runs[heap]":
        "heap corruption ends the process at once without a tool",
    "test_os_naming.py::test_record_and_name_follow_the_reported_version[winxp64]":
        "the version record read through the 32-bit structures",
    "test_network_areas.py::test_wine_adapters_with_their_flags_and_addresses":
        "the IP helper tables, whose layouts follow the pointer size",
    "test_planted_libraries.py::test_a_program_files_folder_its_user_may_change_is_not_trusted":
        "the trust decision on the 32-bit Program Files folder's descriptor",
    "test_package.py::test_run_to_file_on_the_suite_prefix":
        "a whole package on the suite prefix, read back by unzip",
    "test_package.py::test_menu_package_goes_to_the_dumps_folder":
        "the menu's package lands in the suite's dumps folder",
    "test_command_captures.py::test_captures_in_the_package":
        "the system programs' captures started by the 32-bit process",
    "test_run_log.py::test_run_log_follows_the_transcript":
        "the run log matches the console transcript",
    "test_system_dumps.py::test_system_dumps_in_the_package":
        "the registry and system dumps in the package",
    "test_gathering.py::test_product_logs_land_in_their_mangled_folder":
        "the suite's logs found through the 32-bit registry view",
    "test_report_page.py::test_page_reads_and_matches_the_run_log":
        "the report page written beside the run log",
    "test_installation.py::test_every_kind_on_the_suite_prefix":
        "the installation lookups in the 32-bit view without Wow6432Node",
    "test_installation.py::test_module_without_an_export_is_not_used":
        "exports of the suite's 32-bit module found by their decorated names",
    "test_firewall_driver.py::test_report_holds_the_drivers_text":
        "the driver's control codes and buffers from a 32-bit process",
    "test_firewall_driver.py::test_answers_that_fail[huge]":
        "a driver answer larger than the buffer is refused",
    "test_scanner_engine.py::test_three_lines_in_the_local_time_zone[UTC]":
        "calls into the engine's 32-bit client library",
    "test_suite_modules.py::test_firewall_state_dump[defaults]":
        "the logging module's state read through its 32-bit entry points",
    "test_suite_modules.py::test_expert_keys_write_the_value_and_commit":
        "an expert key writes the module's value and commits it",
    "test_debug_logging.py::test_app_keys_switch_and_restore_the_level":
        "the suite's log level switched in its configuration files",
    "test_file_versions.py::test_lists_the_module_and_the_driver_with_their_versions":
        "version resources read by the 32-bit version library",
    "test_inf_repair.py::test_whole_repair[xp]":
        "the INF repair, offered on Windows XP, whose machines run this build",
    "test_wow64.py::test_shipped_program_makes_a_package_under_wow64":
        "the shipped program on a 64-bit Windows",
}


def chosen(items):
    """The items of CASES (for "file::test", the first case of each test per build), and the
    names of CASES that matched nothing."""
    taken, seen, matched = [], set(), set()
    for item in items:
        file = item.nodeid.split("::")[0].rsplit("/", 1)[-1]
        test = f"{file}::{item.originalname}"
        callspec = getattr(item, "callspec", None)
        case_id = callspec.id if callspec else ""
        build = callspec.params.get("build", "") if callspec else ""
        for name in CASES:
            wanted, _, part = name.partition("[")
            if wanted != test:
                continue
            if part:
                if f"-{part[:-1]}-" in f"-{case_id}-":
                    taken.append(item)
                    matched.add(name)
            elif (test, str(build)) not in seen:
                seen.add((test, str(build)))
                taken.append(item)
                matched.add(name)
    return taken, [name for name in CASES if name not in matched]
