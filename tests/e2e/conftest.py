"""Runs the real qorfwdiag.exe under Wine in private prefixes: the 64-bit test build in a
64-bit Windows and the shipped 32-bit build in a 32-bit one, with the same tests."""
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
TIMEOUT = 120
# With 32-bit Wine installed, `wine` prefers the 32-bit loader; a 64-bit prefix's own tools
# and the 64-bit programs run through the 64-bit one.
WINE64 = "/usr/lib/wine/wine64" if os.path.exists("/usr/lib/wine/wine64") else "wine"


class Build:
    """One Windows build with the Windows it runs on and the suite's installation there."""

    def __init__(self, name: str, loader: str, program_files: str, processor: str):
        self.name = name
        self.arch = name  # WINEARCH of its prefix
        self.dir = BUILD / name
        self.exe = self.dir / "src" / "qorfwdiag.exe"
        self.runexit = self.dir / "testbed" / "runexit.exe"
        self.testbed = self.dir / "testbed"
        self.tests = self.dir / "tests"
        self.loader = loader
        self.program_files = program_files  # where the suite's 32-bit programs go
        self.processor = processor  # the letter in the driver's service name
        self.is64 = name == "win64"

    def __repr__(self) -> str:
        return self.name


BUILDS = {
    "win64": Build("win64", WINE64, "C:\\Program Files (x86)", "A"),
    "win32": Build("win32", "wine", "C:\\Program Files", "X"),
}


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
    def __init__(self, prefix: pathlib.Path, build: Build, **extra_env: str):
        self.prefix = prefix
        self.build = build
        self.env = dict(os.environ, WINEPREFIX=str(prefix), WINEARCH=build.arch,
                        WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", **extra_env)

    def with_env(self, **extra_env: str) -> "Wine":
        """The same prefix; the programs see more environment variables."""
        other = Wine(self.prefix, self.build)
        other.env = dict(self.env, **extra_env)
        return other

    def drive_c(self, windows_path: str) -> pathlib.Path:
        """The Unix path of a C: path inside the prefix."""
        assert windows_path[:3].upper() == "C:\\"
        return self.prefix / "drive_c" / windows_path[3:].replace("\\", "/")

    def run(self, *args: str, stdin=b"", cwd=None) -> Outcome:
        """qorfwdiag.exe with `args`; `stdin` is bytes, or None for a closed input."""
        return self.run_program(self.build.exe, *args, stdin=stdin, cwd=cwd)

    def run_program(self, program: pathlib.Path, *args: str, stdin=b"", cwd=None) -> Outcome:
        """Any Windows program, through runexit so that the full exit code is known.

        Output goes to files, not pipes: Wine's own background processes may inherit the
        descriptors and would hold a pipe open after the program has ended."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            subprocess.run(
                [self.build.loader, str(self.build.runexit), str(program), *args],
                input=stdin, stdin=subprocess.DEVNULL if stdin is None else None,
                stdout=out, stderr=err, env=self.env, timeout=TIMEOUT, check=False, cwd=cwd)
            out.seek(0)
            err.seek(0)
            return Outcome(out.read(), err.read())

    def wine(self, *args: str) -> subprocess.CompletedProcess:
        """A Wine tool such as reg or regedit in this prefix; output captured as text."""
        with tempfile.TemporaryFile() as out:
            proc = subprocess.run([self.build.loader, *args], stdout=out, stderr=subprocess.STDOUT,
                                  env=self.env, timeout=TIMEOUT, check=False)
            out.seek(0)
            proc.stdout = out.read().decode("utf-8", "replace")
            return proc


def start_prefix(build: Build, kind: str = "") -> Wine:
    """A new prefix of the build's kind with a persistent server: plain, or made by the
    testbed script ("full", "none", "admin")."""
    prefix = pathlib.Path(tempfile.mkdtemp(prefix=f"qor-e2e-{build.name}-"))
    session = Wine(prefix, build)
    quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run([build.loader, "wineboot", "-i"], env=session.env, check=True, timeout=300,
                   **quiet)
    # The service manager misses services created in the session that made the prefix.
    subprocess.run(["wineserver", "-w"], env=session.env, check=True, timeout=120, **quiet)
    # A persistent server keeps each program start fast.
    subprocess.run(["wineserver", "-p"], env=session.env, check=True, timeout=60, **quiet)
    if kind:
        subprocess.run([str(ROOT / "testbed" / "make_prefix.sh"), str(prefix), kind,
                        str(build.testbed)],
                       env=session.env, check=True, timeout=300, **quiet)
    return session


def stop_prefix(session: Wine) -> None:
    subprocess.run(["wineserver", "-k"], env=session.env, check=False)
    shutil.rmtree(session.prefix, ignore_errors=True)


@pytest.fixture(scope="session", params=list(BUILDS))
def build(request) -> Build:
    """Every e2e test runs against both builds, each on its own kind of Windows."""
    chosen = BUILDS[request.param]
    for path in (chosen.exe, chosen.runexit):
        assert path.exists(), f"{path} is missing: build the {chosen.name} preset first"
    return chosen


@pytest.fixture(scope="session")
def wine(build):
    session = start_prefix(build)
    yield session
    stop_prefix(session)


@pytest.fixture(scope="session")
def suite(build):
    """A prefix with the suite installed by the testbed."""
    session = start_prefix(build, "full")
    yield session
    stop_prefix(session)


@pytest.fixture(scope="session", params=["none", "admin"])
def without_suite(build, request):
    """A prefix without the suite: a plain computer, or one with the administration product."""
    session = start_prefix(build, request.param)
    yield request.param, session
    stop_prefix(session)
