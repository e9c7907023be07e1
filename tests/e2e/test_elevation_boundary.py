"""What the user's own programs could put in the elevated program's way: a command interpreter
or a Notepad of their choosing, and links in folders they can write."""
import os
import shutil
import types
import zipfile

import pytest

from conftest import start_prefix, stop_prefix


@pytest.fixture(scope="module")
def planted(build, tmp_path_factory):
    """One package and one expert report made in a prefix whose cmd.exe and notepad.exe only
    record their command lines, with links in the logs folders of TEMP and C:\\ProgramData."""
    session = start_prefix(build)
    system32 = session.drive_c("C:\\windows\\system32")
    for name in ("cmd.exe", "notepad.exe"):
        shutil.copyfile(build.testbed / "recorder.exe", system32 / name)
    secret = session.drive_c("C:\\secret")
    secret.mkdir()
    (secret / "secret.log").write_bytes(b"administrators only\r\n")
    shared = session.drive_c("C:\\ProgramData\\RUVAruz\\Logs")
    shared.mkdir(parents=True)
    (shared / "own.log").write_bytes(b"own\r\n")
    os.symlink(secret, shared / "linked")
    os.link(secret / "secret.log", shared / "second.log")
    temp = session.drive_c("C:\\usertemp")
    (temp / "RUVAruz").mkdir(parents=True)
    os.symlink(secret, temp / "RUVAruz" / "Logs")
    steered = session.with_env(TMP="C:\\usertemp", TEMP="C:\\usertemp",
                               WINEDLLOVERRIDES="mscoree,mshtml=;cmd.exe,notepad.exe=n")
    target = tmp_path_factory.mktemp("planted") / "pkg.zip"
    out = steered.run("-run", str(target), stdin=None)
    assert out.exit_code == 0, out.text
    with zipfile.ZipFile(target) as archive:
        names = [n.replace("\\", "/") for n in archive.namelist()]
    steered.run(stdin=b"68q")
    yield types.SimpleNamespace(names=names, system32=system32)
    stop_prefix(session)


def recorded(folder, program):
    log = folder / f"{program}.log"
    return log.read_text(encoding="utf-8").splitlines() if log.exists() else []


def test_the_command_interpreter_never_runs_autorun_commands(planted):
    lines = recorded(planted.system32, "cmd")
    assert any("netstat.exe -ano >> " in line for line in lines), lines
    assert all(" /D " in line for line in lines), lines


def test_the_report_opens_in_the_systems_notepad(planted):
    lines = recorded(planted.system32, "notepad")
    assert len(lines) == 1, lines
    assert lines[0].startswith('"C:\\windows\\system32\\notepad.exe" "C:\\usertemp\\qorfwdiag')
    assert lines[0].endswith('.txt"')


def test_links_in_writable_log_folders_add_nothing(planted):
    logs = [n for n in planted.names if n.startswith("logs/")]
    assert "logs/own.log" in logs
    assert not [n for n in logs if "secret" in n or "second" in n or "linked" in n], logs
