"""The debug logging keys rewrite "Severity" in the suite's logging configuration files."""
import pytest

from texts import (ALL_ENABLED, BANNER, DEBUG_DISABLED, DEBUG_ENABLED, EXPERT_MENU, MAIN_MENU,
                   error_report)

M, E = MAIN_MENU, EXPERT_MENU
LOG = "C:\\ProgramData\\QOR\\Firewall\\log"
FILE_NOT_FOUND = 0xE001003D
NOT_FOUND = 0xE0010015

PRIV_SAVED = b"; private log\r\n[root]\r\nAppender = file\r\nSeverity = %s\r\n"
PUB_SAVED = (b'[defaultFileAppender]\r\nFile = "pub.log"\r\n\r\n'
             b"[root]\r\nSeverity = %s ;as shipped\r\n")
FW_SAVED = b"[QOR.QORFW]\r\nSeverity = %s\r\n"
TDI_SAVED = b"[QOR.TDI]\r\nSeverity = %s\r\n"


def read_logs(suite):
    folder = suite.drive_c(LOG)
    return {name: (folder / name).read_bytes()
            for name in ("privlog.cfg", "publog.cfg", "fwlog.cfg", "tdilog.cfg")}


def app_files(level: bytes, tdi: bytes):
    return {"privlog.cfg": PRIV_SAVED % level, "publog.cfg": PUB_SAVED % level,
            "fwlog.cfg": FW_SAVED % level, "tdilog.cfg": tdi}


def test_app_keys_switch_and_restore_the_level(suite):
    tdi_before = read_logs(suite)["tdilog.cfg"]
    out = suite.run(stdin=b"1q")
    assert out.text == BANNER + M + DEBUG_ENABLED + M
    assert read_logs(suite) == app_files(b"DEBUG", tdi_before)

    out = suite.run(stdin=b"61" b"q")
    assert out.text == BANNER + M + E + ALL_ENABLED + M
    assert read_logs(suite) == app_files(b"ALL", tdi_before)

    out = suite.run(stdin=b"3" b"62" b"q")
    assert out.text == BANNER + M + DEBUG_DISABLED + M + E + DEBUG_DISABLED + M
    assert read_logs(suite) == app_files(b"INFO", tdi_before)


def test_driver_keys_touch_only_the_driver_file(suite):
    before = read_logs(suite)
    out = suite.run(stdin=b"2q")
    assert out.text == BANNER + M + DEBUG_ENABLED + M
    assert read_logs(suite) == dict(before, **{"tdilog.cfg": TDI_SAVED % b"DEBUG"})
    out = suite.run(stdin=b"4q")
    assert out.text == BANNER + M + DEBUG_DISABLED + M
    assert read_logs(suite) == dict(before, **{"tdilog.cfg": TDI_SAVED % b"INFO"})


def test_a_missing_key_stops_before_the_next_file(suite):
    folder = suite.drive_c(LOG)
    before = read_logs(suite)
    (folder / "privlog.cfg").write_bytes(b"[root]\r\nLevel = 1\r\n")
    try:
        out = suite.run(stdin=b"1q")
        assert out.text == BANNER + M + error_report(NOT_FOUND) + M
        assert (folder / "privlog.cfg").read_bytes() == b"[root]\r\nLevel = 1\r\n"
        assert (folder / "publog.cfg").read_bytes() == before["publog.cfg"]
    finally:
        (folder / "privlog.cfg").write_bytes(before["privlog.cfg"])


@pytest.mark.parametrize("files", [False, True])
def test_without_the_suite_the_current_directory_is_used(without_suite, tmp_path, files):
    _, session = without_suite
    if files:
        (tmp_path / "privlog.cfg").write_bytes(b"[root]\nSeverity=INFO\n")
        (tmp_path / "publog.cfg").write_bytes(b"[root]\nSeverity=INFO\n")
    out = session.run(stdin=b"1" b"2" b"q", cwd=tmp_path)
    first = DEBUG_ENABLED if files else error_report(FILE_NOT_FOUND)
    assert out.text == BANNER + M + first + M + DEBUG_ENABLED + M
    expected = {"privlog.cfg", "publog.cfg"} if files else set()
    assert {p.name for p in tmp_path.iterdir()} == expected
    for name in expected:
        assert (tmp_path / name).read_bytes() == b"[root]\r\nSeverity = DEBUG\r\n"
