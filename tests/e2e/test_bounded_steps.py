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
        yield types.SimpleNamespace(text=out.text, files=files, exports=exports)
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
