"""Runs the real qorfwdiag.exe under Wine in a private prefix."""
import os
import pathlib
import shutil
import subprocess
import tempfile

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
BUILD = pathlib.Path(os.environ.get("QOR_BUILD_DIR", ROOT / "build"))
EXE = BUILD / "win64" / "src" / "qorfwdiag.exe"
EXE32 = BUILD / "win32" / "src" / "qorfwdiag.exe"
RUNEXIT = BUILD / "win64" / "testbed" / "runexit.exe"
TIMEOUT = 120


class Outcome:
    def __init__(self, stdout: bytes, stderr: bytes):
        self.stdout = stdout
        self.stderr = stderr.decode("utf-8", "replace")
        marker = "exit code: 0x"
        assert marker in self.stderr, f"no exit code reported: {self.stderr!r}"
        self.exit_code = int(self.stderr.split(marker)[-1][:8], 16)

    @property
    def text(self) -> str:
        """Console text with the C runtime's CR LF line ends turned back into LF."""
        assert b"\n" not in self.stdout.replace(b"\r\n", b""), "bare LF in console output"
        return self.stdout.decode("ascii").replace("\r\n", "\n")


class Wine:
    def __init__(self, prefix: pathlib.Path, **extra_env: str):
        self.prefix = prefix
        self.env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", **extra_env)

    def with_env(self, **extra_env: str) -> "Wine":
        """The same prefix; the programs see more environment variables."""
        other = Wine(self.prefix)
        other.env = dict(self.env, **extra_env)
        return other

    def drive_c(self, windows_path: str) -> pathlib.Path:
        """The Unix path of a C: path inside the prefix."""
        assert windows_path[:3].upper() == "C:\\"
        return self.prefix / "drive_c" / windows_path[3:].replace("\\", "/")

    def run(self, *args: str, stdin=b"", cwd=None) -> Outcome:
        """qorfwdiag.exe with `args`; `stdin` is bytes, or None for a closed input."""
        return self.run_program(EXE, *args, stdin=stdin, cwd=cwd)

    def run_program(self, program: pathlib.Path, *args: str, stdin=b"", cwd=None) -> Outcome:
        """Any Windows program, through runexit so that the full exit code is known.

        Output goes to files, not pipes: Wine's own background processes may inherit the
        descriptors and would hold a pipe open after the program has ended."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            subprocess.run(
                ["wine", str(RUNEXIT), str(program), *args],
                input=stdin, stdin=subprocess.DEVNULL if stdin is None else None,
                stdout=out, stderr=err, env=self.env, timeout=TIMEOUT, check=False, cwd=cwd)
            out.seek(0)
            err.seek(0)
            return Outcome(out.read(), err.read())

    def wine(self, *args: str) -> subprocess.CompletedProcess:
        """A Wine tool such as reg or regedit in this prefix; output captured as text."""
        with tempfile.TemporaryFile() as out:
            proc = subprocess.run(["wine", *args], stdout=out, stderr=subprocess.STDOUT,
                                  env=self.env, timeout=TIMEOUT, check=False)
            out.seek(0)
            proc.stdout = out.read().decode("utf-8", "replace")
            return proc


def start_prefix(kind: str = "") -> Wine:
    """A new prefix with a persistent server: plain, or made by the testbed script
    ("full", "none", "admin")."""
    prefix = pathlib.Path(tempfile.mkdtemp(prefix="qor-e2e-"))
    session = Wine(prefix)
    quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wine", "wineboot", "-i"], env=session.env, check=True, timeout=300, **quiet)
    # The service manager misses services created in the session that made the prefix.
    subprocess.run(["wineserver", "-w"], env=session.env, check=True, timeout=120, **quiet)
    # A persistent server keeps each program start fast.
    subprocess.run(["wineserver", "-p"], env=session.env, check=True, timeout=60, **quiet)
    if kind:
        subprocess.run([str(ROOT / "testbed" / "make_prefix.sh"), str(prefix), kind,
                        str(BUILD / "win64" / "testbed")],
                       env=session.env, check=True, timeout=300, **quiet)
    return session


def stop_prefix(session: Wine) -> None:
    subprocess.run(["wineserver", "-k"], env=session.env, check=False)
    shutil.rmtree(session.prefix, ignore_errors=True)


@pytest.fixture(scope="session")
def wine():
    for path in (EXE, RUNEXIT):
        assert path.exists(), f"{path} is missing: build the win64 preset first"
    session = start_prefix()
    yield session
    stop_prefix(session)


@pytest.fixture(scope="session")
def suite():
    """A prefix with the suite installed by the testbed."""
    session = start_prefix("full")
    yield session
    stop_prefix(session)


@pytest.fixture(scope="session", params=["none", "admin"])
def without_suite(request):
    """A prefix without the suite: a plain computer, or one with the administration product."""
    session = start_prefix(request.param)
    yield request.param, session
    stop_prefix(session)
