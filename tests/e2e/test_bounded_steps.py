"""A computer where things hang: a firewall driver that holds its request, an engine client
that never returns and a registry editor whose exports take six seconds. With a step
deadline of five seconds the run still ends, and every export in the package is whole."""
import pathlib
import re
import types
import zipfile

import pytest

from conftest import dump_text, start_prefix, stop_prefix

TIMED_OUT = "-1073281612 (0xc00705b4)"


@pytest.fixture(scope="module")
def wedged(build, tmp_path_factory):
    session = start_prefix(build, "full")
    try:
        slow = session.with_stand_in("slow_regedit.exe", "regedit.exe",
                                     QORFWDIAG_STEP_TIMEOUT="5")
        target = tmp_path_factory.mktemp("wedged") / "pkg.zip"
        with session.testbed_answer("DriverAnswer", "hold"), \
                session.testbed_answer("EngineAnswer", "hang"):
            out = slow.run("-run", str(target), stdin=None)
        assert out.exit_code == 0, out.text
        with zipfile.ZipFile(target) as archive:
            files = {name: archive.read(name) for name in archive.namelist()}
        log = session.drive_c("C:\\windows\\system32\\slow_regedit.log")
        exports = [line.split("\t") for line in log.read_text().splitlines()]
        yield types.SimpleNamespace(text=out.text, files=files, exports=exports, session=session)
    finally:
        stop_prefix(session)


def test_wedged_driver_costs_its_step_only(wedged):
    assert "Reading QOR directory...OK\nDriver...Failed\nRegistry LSP..." in wedged.text
    assert re.search(r"\nCatDB log\.\.\.(OK|Failed)\nCreating ZIP\.\.\.\n", wedged.text)
    summary = dump_text(wedged.files["tdidump.txt"], "tdidump.txt")
    assert summary == f"Operation result code: {TIMED_OUT}\r\n"
    log = dump_text(wedged.files["runlog.txt"], "runlog.txt")
    assert f"\r\nDriver\tFailed\t{TIMED_OUT}\t" in log


def test_hung_engine_client_costs_its_step_only(wedged):
    assert "\nAVI version...Failed\nWFP info:\n" in wedged.text
    log = dump_text(wedged.files["runlog.txt"], "runlog.txt")
    assert f"\r\nAVI version\tFailed\t{TIMED_OUT}\t" in log


def test_slow_exports_are_whole_in_the_package(wedged):
    assert "locked" not in wedged.text
    assert len(wedged.exports) >= 4, wedged.exports
    for path, size in wedged.exports:
        name = pathlib.PureWindowsPath(path).name
        data = wedged.files[name]
        assert len(data) == int(size), name
        assert data.endswith(b"; end of export\r\n"), name
    log = dump_text(wedged.files["runlog.txt"], "runlog.txt")
    assert "\r\nWaiting for child programs\tOK\t0 (0x0)\t" in log


def test_step_stuck_in_the_loader_costs_its_step_only(wedged, tmp_path):
    """The engine client's call loads a library whose start never ends, so its step thread
    keeps the loader's lock: no thread can start or end any more. The steps after it run on
    a thread started before, the package is made and the process ends."""
    target = tmp_path / "pkg.zip"
    session = wedged.session.with_env(QORFWDIAG_STEP_TIMEOUT="4")
    with wedged.session.testbed_answer("EngineAnswer", "hang-in-loader"):
        out = session.run("-run", str(target), stdin=None)
    assert out.exit_code == 0, out.text
    assert "\nAVI version...Failed\nWFP info:\n" in out.text
    for step in ("Logs...", "INF files...", "CatDB log..."):
        assert f"\n{step}OK\n" in out.text, out.text
    assert "The diagnostics file was saved as:" in out.text
    with zipfile.ZipFile(target) as archive:
        names = set(archive.namelist())
    assert "logs/C__ProgramData_QOR_Firewall_log/fw.log" in names, sorted(names)
    log = dump_text(archive_file(target, "runlog.txt"), "runlog.txt")
    assert f"\r\nAVI version\tFailed\t{TIMED_OUT}\t" in log


def archive_file(target, name):
    with zipfile.ZipFile(target) as archive:
        return archive.read(name)


def test_filtering_platform_exports_end_with_their_deadline(wedged, tmp_path):
    """netsh.exe writes a line and hangs: with one second, the step waits for the first
    export within its time and starts no other, so no step thread goes on starting them
    while the package is made."""
    target = tmp_path / "pkg.zip"
    record = wedged.session.drive_c("C:\\windows\\system32\\stalled_capture.log")
    record.unlink(missing_ok=True)
    slow = wedged.session.with_stand_in("stalled_capture.exe", "netsh.exe",
                                        QORFWDIAG_STEP_TIMEOUT="1", QORFWDIAG_STEPS_AT_ONCE="3")
    out = slow.run("-run", str(target), stdin=None)
    assert out.exit_code == 0, out.text
    assert re.search(r"\nWFP info:\nstalled capture: wfp show state file=[^\n]*wfpstate.xml\n"
                     r"\nWFP info result: Failed\n", out.text), out.text
    starts = [line for line in record.read_text().splitlines() if line.startswith(" wfp")]
    assert len(starts) == 1, starts
