"""Finding the suite on the testbed: special folders, product directories, log folder and
the logging module attached at start-up."""
import shutil

import pytest

from texts import BANNER, MAIN_MENU

DATA_DIR = "C:\\ProgramData\\QOR\\Firewall"
MISSING_KEY = "error 0xe0010013"


def program_dir(session) -> str:
    return session.build.program_files + "\\QOR\\Firewall"


def admin_common(session) -> str:
    return session.build.program_files + "\\QOR\\Admin"


def calls_file(session):
    return session.drive_c(program_dir(session) + "\\qorlogx-calls.txt")


def probe(session) -> dict:
    out = session.run_program(session.build.tests / "install_probe.exe")
    assert out.exit_code == 0
    return dict(line.split(": ", 1) for line in out.text.splitlines())


def test_every_kind_on_the_suite_prefix(suite):
    found = probe(suite)
    assert found["kind 0"] == program_dir(suite)
    assert found["kind 1"] == DATA_DIR
    assert found["kind 2"] == admin_common(suite)
    assert found["kind 3"] == "C:\\ProgramData\\QOR\\Admin"
    assert found["kind 4"] == admin_common(suite) + "\\Server"
    assert found["kind 5"] == found["folder 2"] + "\\Qor2014"
    assert found["kind 6"] == found["folder 21"] + "\\Qor2014"
    assert found["kind 7"] == DATA_DIR + "\\avi"
    assert found["kind 8"] == found["kind 9"] == MISSING_KEY
    assert found["kind 10"] == "error 0xe001003c"
    assert found["log"] == DATA_DIR + "\\log"


def test_special_folders_of_the_system(suite):
    found = probe(suite)
    assert found["folder 3"].lower() == "c:\\windows\\system32"
    assert found["folder 6"].lower() == "c:\\windows"
    assert found["folder 5"] == found["folder 6"] + "\\System32"
    assert found["folder 18"] == "C:"
    if suite.build.is64:
        assert found["folder 4"] == found["folder 6"] + "\\SysWOW64"
        # The suite's machine values, 64-bit view for the (x86) and native ones.
        assert found["folder 7"] == found["folder 9"] == "C:\\Program Files"
        assert found["folder 8"] == "C:\\Program Files (x86)"
        assert found["folder 11"] == "C:\\Program Files (x86)\\Common Files"
    else:
        # One system directory; no native folders beside the 32-bit ones.
        assert found["folder 4"] == found["folder 5"]
        assert found["folder 7"] == found["folder 8"] == "C:\\Program Files"
        assert found["folder 10"] == found["folder 11"] == "C:\\Program Files\\Common Files"
        assert found["folder 9"] == found["folder 12"] == "error 0xe001003e"
    assert found["folder 0"].lower().startswith("c:\\users\\")
    assert found["folder 2"] == found["folder 0"] + "\\AppData\\Roaming"
    assert found["folder 21"] == found["folder 0"] + "\\AppData\\Local"
    assert found["folder 20"] == "C:\\ProgramData"
    assert found["folder 17"] == "error 0xe001003e"
    assert found["folder 22"] == "error 0xe0010002"


def test_lookup_without_the_suite(without_suite):
    kind, session = without_suite
    found = probe(session)
    for number in (0, 1, 7):
        assert found[f"kind {number}"] == MISSING_KEY
    assert found["kind 2"] == (admin_common(session) if kind == "admin" else MISSING_KEY)
    assert found["log"] == ".\\"
    # The machine values are missing: the environment stands in.
    assert found["folder 7"] == "C:\\Program Files"
    assert found["folder 8"] == session.build.program_files


@pytest.mark.parametrize("answer,expected", [
    ("", ["get-log-object", "is-configured", f"configure {DATA_DIR}\\log", "start 0", "release"]),
    ("configured", ["get-log-object", "is-configured", "start 0", "release"]),
    ("fail-get", ["get-log-object"]),
    ("fail-configure", ["get-log-object", "is-configured", f"configure {DATA_DIR}\\log",
                        "release"]),
    ("fail-start", ["get-log-object", "is-configured", f"configure {DATA_DIR}\\log",
                    "start 0", "release"]),
])
def test_logging_module_answers_do_not_change_the_tool(suite, answer, expected):
    calls = calls_file(suite)
    calls.unlink(missing_ok=True)
    out = suite.with_env(QOR_TESTBED_LOG_ANSWER=answer).run("-h")
    assert out.exit_code == 0  # help comes before the attachment
    assert not calls.exists()
    out = suite.with_env(QOR_TESTBED_LOG_ANSWER=answer).run(stdin=b"x")
    assert out.text == BANNER + MAIN_MENU
    assert out.exit_code == 0
    assert calls.read_text().splitlines() == expected


def test_module_without_an_export_is_not_used(suite):
    module = suite.drive_c(program_dir(suite) + "\\qorlogx.dll")
    testbed = suite.build.testbed
    calls = calls_file(suite)
    calls.unlink(missing_ok=True)
    shutil.copy(testbed / "qorlogx_noexport.dll", module)
    try:
        out = suite.run(stdin=b"q")
    finally:
        shutil.copy(testbed / "qorlogx.dll", module)
    assert out.text == BANNER + MAIN_MENU
    assert not calls.exists()


def test_tool_starts_the_same_without_the_suite(without_suite):
    _, session = without_suite
    out = session.run(stdin=b"q")
    assert out.text == BANNER + MAIN_MENU
    assert out.exit_code == 0
