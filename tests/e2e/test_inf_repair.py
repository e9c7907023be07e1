"""The INF cache repair from the command line on Windows XP and Server 2003: the installer,
the cache files, the NDIS service and the TDI load order afterwards."""
import os
import subprocess
import tempfile

import pytest

from conftest import ROOT, start_prefix, stop_prefix
from texts import BANNER

START = "\nStarting process to repair INF cache(s) on your computer, please wait.\n"
NOT_XP = ("\nChecking OS version...failed.\n"
          "QOR diagnostics INF repair requires Windows XP or Windows Server 2003. Exiting.\n")
SORRY = ("\nWe are sorry, the process finished with an error (0x{:x}).\n"
         "Please copy the text and send it to your Customer Services contact.\n")
DONE = ("\nRepairing INF cache finished successfully (0x0).\n"
        "Do not forget to REBOOT COMPUTER to apply changes.\n")
ORDER_KEY = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\GroupOrderList"


def steps(program: str, ndis_verdicts=("NDIS operation OK. ", "NDIS operation OK. ")) -> str:
    return ("\nChecking OS version...ok.\n"
            f"Checking QOR directory...ok. [{program}\\Drivers]\n"
            "Checking driver installation files...ok.\n"
            "Preparing QOR environment...ok.\n"
            f"Removing NDIS driver (please wait)...{ndis_verdicts[0]}ok.\n"
            "Removing damaged INF cache...ok.\n"
            "NDIS driver is about to be installed.\n"
            "This might take few minutes (depends on number of drivers).\n"
            "Internet connection might be turned off and on in few seconds.\n"
            f"\nInstalling NDIS driver...{ndis_verdicts[1]}ok.\n"
            "Checking NDIS service...ok.\n"
            "Ordering drivers...ok.\n")


class Computer:
    """A prefix with the suite, reset to the repair's starting point before each test."""

    def __init__(self, session, windows: str):
        self.session = session
        self.windows = windows
        self.program = session.build.program_files + "\\QOR\\Firewall"
        self.letter = session.build.processor.lower()

    def reset(self, windows=None):
        env = dict(self.session.env, QOR_TESTBED_WINDOWS=windows or self.windows)
        with tempfile.TemporaryFile() as out:  # a file: Wine's servers may hold a pipe open
            done = subprocess.run([str(ROOT / "testbed" / "make_prefix.sh"),
                                   str(self.session.prefix), "full",
                                   str(self.session.build.testbed)],
                                  env=env, timeout=300, stdout=out, stderr=subprocess.STDOUT,
                                  check=False)
            out.seek(0)
            assert done.returncode == 0, out.read().decode("utf-8", "replace")[-3000:]

    def file(self, name: str):
        return self.session.drive_c(self.program + "\\" + name)

    def calls(self, name: str) -> list:
        path = self.file(name)
        return path.read_text().split() if path.exists() else []

    def order(self) -> list:
        out = self.session.wine("reg", "query", ORDER_KEY, "/v", "PNP_TDI").stdout
        data = bytes.fromhex(out.split("REG_BINARY")[1].split()[0])
        words = [int.from_bytes(data[i:i + 4], "little") for i in range(0, len(data), 4)]
        assert words[0] == len(words) - 1
        return words[1:]

    def has_ndis_service(self) -> bool:
        key = f"HKLM\\SYSTEM\\CurrentControlSet\\Services\\Qorfwd{self.letter}"
        return self.session.wine("reg", "query", key).returncode == 0

    def cache(self):
        return self.session.drive_c("C:\\windows\\inf\\INFCACHE.1")


@pytest.fixture(scope="module", params=["xp", "win2003"])
def computer(build, request):
    xp = "winxp64" if build.is64 else "winxp"
    session = start_prefix(build, "full")
    yield Computer(session, xp if request.param == "xp" else "win2003")
    stop_prefix(session)


def repair(computer, **env):
    out = computer.session.with_env(**env).run("-repairinfcache", stdin=None)
    assert out.text.startswith(BANNER + START), out.text
    return out, out.text[len(BANNER + START):]


def test_whole_repair(computer):
    computer.reset()
    out, text = repair(computer)
    assert text == steps(computer.program) + DONE
    assert out.exit_code == 0
    assert computer.calls("qorndis-calls.txt") == ["/Uninstall", "/Install"]
    assert computer.calls("qorselfp-calls.txt") == ["allow", "restore"]
    assert not computer.cache().exists()
    assert computer.has_ndis_service()
    assert computer.order() == [3, 8, 88, 86, 87]


def test_later_windows_is_refused_and_nothing_changes(computer):
    computer.reset("win7")
    out, text = repair(computer)
    assert text == NOT_XP + SORRY.format(0xE0010054)
    assert out.exit_code == 0xE0010054
    assert computer.calls("qorndis-calls.txt") == []
    assert computer.calls("qorselfp-calls.txt") == []
    assert computer.cache().exists()
    assert computer.order() == [3, 8, 87, 86, 88]


def test_missing_driver_file(computer):
    computer.reset()
    computer.file(f"Drivers\\qorfwd{computer.letter}.sys").unlink()
    out, text = repair(computer)
    assert text.endswith("Checking driver installation files...failed.\n"
                         + SORRY.format(0xE001003D))
    assert out.exit_code == 0xE001003D
    assert computer.calls("qorndis-calls.txt") == []


@pytest.mark.parametrize("exit_code", ["1", "E0010001"])
def test_installer_exit_codes(computer, exit_code):
    computer.reset()
    out, text = repair(computer, QOR_TESTBED_NDIS_EXIT=exit_code)
    if exit_code == "1":
        error = "Process terminated with an error. "
        assert text == steps(computer.program, (error, error)) + DONE
        assert out.exit_code == 0
    else:
        assert text.endswith("Removing NDIS driver (please wait)..."
                             "Process terminated with an error. failed.\n"
                             + SORRY.format(0xE0010001))
        assert out.exit_code == 0xE0010001
        assert computer.calls("qorselfp-calls.txt") == ["allow", "restore"]
        assert computer.cache().exists()


def test_self_protection_refuses(computer):
    computer.reset()
    out, text = repair(computer, QOR_TESTBED_SELFP_REFUSE="E0010058")
    assert text.endswith("Preparing QOR environment...failed. [Check digital signature of "
                         "QorFwDiag.]\n" + SORRY.format(0xE0010058))
    assert out.exit_code == 0xE0010058
    assert computer.calls("qorndis-calls.txt") == []
