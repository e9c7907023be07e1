"""The steps that wait for the system's programs, run side by side and one after the other on
the same prefix: the same transcript, the same run-log rows and the same captured files. On
this prefix driverquery.exe is missing (a capture that fails to start), arp.exe writes a line
and then stalls past the five-second step deadline (a capture that overruns), and netsh.exe
says on its console that it wrote each filtering-platform export."""
import re
import types
import zipfile

import pytest

from conftest import dump_text, start_prefix, stop_prefix

CAPTURES = ("ipcdump.txt", "iprdump.txt", "arpdump.txt", "drvdump.txt", "wfpstate.xml",
            "wfpfltr.xml", "wfpboot.xml")
TIMED_OUT = "-1073281612 (0xc00705b4)"


def rows_without_times(log: str) -> list:
    return [line.rsplit("\t", 1)[0] for line in log.splitlines() if not line.startswith("Total")]


@pytest.fixture(scope="module")
def both_ways(build, tmp_path_factory):
    session = start_prefix(build, "full")
    try:
        stalled = session.with_stand_ins(
            {"arp.exe": "stalled_capture.exe", "netsh.exe": "console_netsh.exe"},
            QORFWDIAG_STEP_TIMEOUT="5")
        target = tmp_path_factory.mktemp("side") / "pkg.zip"
        runs = {}
        for label, at_once in (("one after the other", "1"), ("side by side", "3")):
            out = stalled.with_env(QORFWDIAG_STEPS_AT_ONCE=at_once).run(
                "-run", str(target), stdin=None)
            assert out.exit_code == 0, out.text
            with zipfile.ZipFile(target) as archive:
                files = {name: archive.read(name) for name in archive.namelist()}
            target.unlink()
            # Wine's regedit reports missing keys on the shared console, at any moment; the
            # work folder's name is drawn at random and the package's name is the time.
            text = re.sub(r"regedit: [^\n]*\n", "", out.text)
            text = re.sub(r"\\qorfwdiag\d+\\qorfwdiag_[\d_]+\.tmp", r"\\WORK\\PACKAGE.tmp", text)
            runs[label] = types.SimpleNamespace(
                text=text, files=files, rows=rows_without_times(dump_text(files["runlog.txt"],
                                                                          "runlog.txt")))
        yield runs["one after the other"], runs["side by side"]
    finally:
        stop_prefix(session)


def test_same_transcript_and_rows(both_ways):
    sequential, side = both_ways
    assert side.text == sequential.text
    assert side.rows == sequential.rows
    assert "\nProcesses...OK\nInstalled drivers...Failed\nIP configuration...OK\n" in side.text
    assert "\nARP table...Failed\nSystem info...OK\n" in side.text
    assert ("\nWFP info:\n" + "".join(f"Data collection successful; output = {name}\n"
                                     for name in ("wfpstate.xml", "wfpfltr.xml", "wfpboot.xml"))
            + "\nWFP info result: OK\n") in side.text
    assert "Installed drivers\tFailed\t-536805315 (0xe001003d)" in side.rows
    assert f"ARP table\tFailed\t{TIMED_OUT}" in side.rows


def test_same_files_and_captures_byte_for_byte(both_ways):
    sequential, side = both_ways
    assert side.files.keys() == sequential.files.keys()
    for name in CAPTURES:
        assert side.files.get(name) == sequential.files.get(name), name
    assert "drvdump.txt" not in side.files  # nothing started, nothing created
    assert side.files["ipcdump.txt"].startswith(b"netsh interface ip show config\r\n")
    assert b"Hostname" in side.files["ipcdump.txt"]
    assert side.files["wfpboot.xml"] == \
        b'<?xml version="1.0"?>\r\n<netsh wfp show boottimepolicy/>\r\n'
    # The stalled capture ended itself before its deadline and kept what it had read.
    assert side.files["arpdump.txt"] == b"stalled capture: -a\r\n"
