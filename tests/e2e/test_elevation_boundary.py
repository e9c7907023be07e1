"""What the user's own programs could put in the elevated program's way: a command interpreter
or a Notepad of their choosing, and links in folders they can write."""
import datetime
import os
import threading
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
    assert report.startswith('"C:\\windows\\Temp\\qorfwdiag') and report.endswith('.txt"'), report


def test_links_in_writable_log_folders_add_nothing(planted):
    logs = [n for n in planted.names if n.startswith("logs/")]
    assert "logs/own.log" in logs
    assert not [n for n in logs if "secret" in n or "second" in n or "linked" in n], logs


def repoint(link, target):
    """`link` made to point at `target` in one step, as another program of the user could."""
    fresh = link.with_name(link.name + ".new")
    os.symlink(target, fresh)
    os.rename(fresh, link)


class Swapper(threading.Thread):
    """Re-points C:\\j at a decoy holding a folder of the same name the moment a work folder
    appears under it; notes every work folder seen in the Windows folder's Temp."""

    def __init__(self, session):
        super().__init__(daemon=True)
        self.real = session.drive_c("C:\\real")
        self.decoy = session.drive_c("C:\\decoy")
        self.link = session.drive_c("C:\\j")
        self.system_temp = session.drive_c("C:\\windows\\temp")
        self.seen, self.swapped = set(), []
        self.stop = threading.Event()

    def run(self):
        while not self.stop.is_set():
            self.seen |= {p.name for p in self.system_temp.glob("qorfwdiag*")}
            for work in self.real.glob("qorfwdiag*"):
                if work.name in self.swapped:
                    continue
                planted = self.decoy / work.name
                (planted / "sub").mkdir(parents=True, exist_ok=True)
                (planted / "precious.txt").write_bytes(b"precious\r\n")
                (planted / "sub" / "deep.txt").write_bytes(b"deep\r\n")
                repoint(self.link, self.decoy)
                self.swapped.append(work.name)
            time.sleep(0.005)


@pytest.fixture(scope="module")
def linked(build, tmp_path_factory):
    """A prefix where the user's programs have put links one level above what the run uses:
    TMP names a folder they re-point during the run, TEMP's RUVAruz and the all-users RUVAruz
    are links to folders of logs that are not theirs, and the suite's dumps folder is a link to
    a folder holding files of the package's coming names."""
    session = start_prefix(build, "full")
    secret = session.drive_c("C:\\secret")
    (secret / "Logs").mkdir(parents=True)
    (secret / "Logs" / "secret.log").write_bytes(b"administrators only\r\n")
    temps = [t for t in session.prefix.glob("drive_c/users/*/Temp") if t.parent.name != "Public"]
    assert len(temps) == 1, temps
    os.symlink(secret, temps[0] / "RUVAruz")
    os.symlink(secret, session.drive_c("C:\\ProgramData\\RUVAruz"))
    swapper = Swapper(session)
    swapper.real.mkdir()
    swapper.decoy.mkdir()
    os.symlink(swapper.real, swapper.link)
    victim = session.drive_c("C:\\victim")
    victim.mkdir()
    now = datetime.datetime.now(datetime.timezone.utc)
    for minute in range(6):
        at = now + datetime.timedelta(minutes=minute)
        (victim / at.strftime("qorfwdiag_%Y_%m_%d_%H_%M.zip")).write_bytes(b"victim\r\n")
    planted = {p.name: p.read_bytes() for p in victim.iterdir()}
    os.symlink(victim, session.drive_c("C:\\ProgramData\\QOR\\Firewall\\dumps"))
    target = tmp_path_factory.mktemp("linked") / "pkg.zip"
    here = tmp_path_factory.mktemp("current")
    swapper.start()
    try:
        with session.registry_value("HKCU\\Environment", "TMP", "C:\\j"):
            out = session.run("-run", str(target), stdin=None)
            menu = session.run(stdin=b"5q", cwd=here)
    finally:
        swapper.stop.set()
        swapper.join()
    assert out.exit_code == 0, out.text
    with zipfile.ZipFile(target) as archive:
        names = [n.replace("\\", "/") for n in archive.namelist()]
    yield types.SimpleNamespace(names=names, swapper=swapper, victim=victim, planted=planted,
                                menu=menu.text, here=here)
    stop_prefix(session)


def test_a_re_pointed_temporary_folder_steers_nothing(linked):
    swapper = linked.swapper
    assert swapper.seen, "no work folder was made in the Windows folder's Temp"
    assert not list(swapper.real.iterdir()), list(swapper.real.iterdir())
    for work in swapper.decoy.iterdir():  # the decoy's folders are whole
        assert (work / "precious.txt").read_bytes() == b"precious\r\n"
        assert (work / "sub" / "deep.txt").read_bytes() == b"deep\r\n"
    assert not [n for n in linked.names if "precious" in n or "deep.txt" in n], linked.names
    assert "tdidump.txt" in linked.names


def test_a_link_above_the_gathered_logs_adds_nothing(linked):
    assert not [n for n in linked.names if "secret" in n], linked.names


def test_a_linked_dumps_folder_is_not_the_tools(linked):
    assert {p.name: p.read_bytes() for p in linked.victim.iterdir()} == linked.planted
    copies = list(linked.here.glob("qorfwdiag_*.zip"))
    assert len(copies) == 1, linked.menu
    assert f"\nThe diagnostics file was saved as:\n" in linked.menu
    saved = linked.menu.split("\nThe diagnostics file was saved as:\n", 1)[1].split("\n", 1)[0]
    assert saved.endswith("\\" + copies[0].name) and "dumps" not in saved, saved
    with zipfile.ZipFile(copies[0]) as archive:
        assert archive.testzip() is None
