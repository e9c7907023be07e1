"""What the user's own programs could put in the elevated program's way: a command interpreter
or a Notepad of their choosing, and links in folders they can write."""
import os
import time
import types
import zipfile

import pytest

from conftest import start_prefix, stop_prefix


@pytest.fixture(scope="module")
def planted(build, tmp_path_factory):
    """One package and one expert report made in a prefix whose cmd.exe and notepad.exe only
    record their command lines, with links in the logs folders of TEMP and C:\\ProgramData."""
    session = start_prefix(build)
    steered = session.with_stand_in("recorder.exe", "cmd.exe", "notepad.exe")
    secret = session.drive_c("C:\\secret")
    secret.mkdir()
    (secret / "secret.log").write_bytes(b"administrators only\r\n")
    shared = session.drive_c("C:\\ProgramData\\RUVAruz\\Logs")
    shared.mkdir(parents=True)
    (shared / "own.log").write_bytes(b"own\r\n")
    os.symlink(secret, shared / "linked")
    os.link(secret / "secret.log", shared / "second.log")
    # Wine takes TEMP from the user's registry, not from the Unix environment.
    temps = [t for t in session.prefix.glob("drive_c/users/*/Temp") if t.parent.name != "Public"]
    assert len(temps) == 1, temps
    (temps[0] / "RUVAruz").mkdir()
    os.symlink(secret, temps[0] / "RUVAruz" / "Logs")
    target = tmp_path_factory.mktemp("planted") / "pkg.zip"
    out = steered.run("-run", str(target), stdin=None)
    assert out.exit_code == 0, out.text
    with zipfile.ZipFile(target) as archive:
        names = [n.replace("\\", "/") for n in archive.namelist()]
    report = steered.run(stdin=b"68q")
    assert "Please stand by, opening the output file:\n" in report.text, report.text
    yield types.SimpleNamespace(names=names, system32=session.drive_c("C:\\windows\\system32"))
    stop_prefix(session)


def recorded(folder, program):
    """The command lines the stand-in recorded; it may still be starting when the run ends."""
    log = folder / f"{program}.log"
    for _ in range(100):
        if log.exists():
            break
        time.sleep(0.1)
    return log.read_text(encoding="utf-8").splitlines() if log.exists() else []


def test_the_command_interpreter_never_runs_autorun_commands(planted):
    lines = recorded(planted.system32, "cmd")
    assert any("netstat.exe -ano >> " in line for line in lines), lines
    assert all(" /D " in line for line in lines), lines


def test_the_report_opens_in_the_systems_notepad(planted):
    lines = recorded(planted.system32, "notepad")
    assert len(lines) == 1, lines
    program, _, report = lines[0].partition(" ")
    assert program == '"C:\\windows\\system32\\notepad.exe"'
    assert report.startswith('"C:\\users\\') and report.endswith('.txt"'), report


def test_links_in_writable_log_folders_add_nothing(planted):
    logs = [n for n in planted.names if n.startswith("logs/")]
    assert "logs/own.log" in logs
    assert not [n for n in logs if "secret" in n or "second" in n or "linked" in n], logs
