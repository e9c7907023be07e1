"""The process list, system information and active connections dumps of a real run."""
import re

from conftest import LISTENER_PORT, dump_text


def test_system_dumps_in_the_package(suite, suite_package):
    text, files = suite_package.text, suite_package.files
    processes, system, connections = (dump_text(files[name], name)
                                      for name in ("procdmp.txt", "sysdump.txt", "condump.txt"))
    for ok in ("Processes...OK\n", "System info...OK\n", "Active connections...OK\n"):
        assert ok in text, text

    # The tool itself, with its image path in Win32 and device form.
    own = re.search(r"\r\n(\d+):\r\n-{10}\r\n([A-Z]:\\[^\r]*\\qorfwdiag\.exe)\r\n(.*)\r\n"
                    r"qorfwdiag\.exe\r\n(.*)\r\n(.*)\r\n={11}\r\n\r\n", "\r\n" + processes)
    assert own, processes[:2000]
    assert own.group(5) == own.group(2)
    assert own.group(3).lower().endswith("\\qorfwdiag.exe")

    lines = system.split("\r\n")
    computer = suite.env.get("COMPUTERNAME") or wine_computer_name(suite)
    # A 64-bit Windows for the 64-bit build; the 32-bit build runs on a 32-bit one.
    platform = "AMD64" if suite.build.is64 else "x86"
    assert lines[1].startswith(f"Platform {platform}, CPUs "), lines[1]
    assert re.fullmatch(r"User [^,]+, Computer " + re.escape(computer), lines[2]), lines[2]
    assert "\r\nFound a device: " in system and "\r\nPaths:" in system
    assert re.search(r"\r\n\r\nLocal time: \w{3}, \d\d \w{3} \d{4} \d\d:\d\d:\d\d [+-]\d{4}\r\n"
                     r"System time: \d{4}-\d\d-\d\d \d\d:\d\d:\d\d,\d{3}\r\n$", system), system

    # Wine 8 reports owner 0 for the listener of a Wine process; the state and port are real.
    listen = re.search(r"#(\d+) @MIB_TCP_STATE_LISTEN \(2\)\r\n0\.0\.0\.0 : %d\r\n"
                       r"0\.0\.0\.0 : 0\r\n\r\n" % LISTENER_PORT, connections)
    assert listen, connections
    assert int(listen.group(1)) in (suite_package.listener, 0)


def wine_computer_name(session):
    shown = session.wine("cmd", "/c", "echo %COMPUTERNAME%").stdout.strip().splitlines()
    return shown[-1].strip()
