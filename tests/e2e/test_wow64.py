"""The shipped 32-bit program on a 64-bit Windows, under WOW64. Wine 8's native system query
answers x86 to a 32-bit process even there, so the program takes its 32-bit-system branch;
the WOW64 branch itself is covered by the unit tests' fakes."""
import subprocess
import zipfile

import pytest

from conftest import BUILDS, EXE32, NO_32BIT, NO_32BIT_REASON, start_prefix, stop_prefix


@pytest.fixture(scope="module")
def wow64_suite():
    if NO_32BIT:
        pytest.skip(NO_32BIT_REASON)
    session = start_prefix(BUILDS["win64"], "full")
    yield session
    stop_prefix(session)


def test_shipped_program_makes_a_package_under_wow64(wow64_suite, tmp_path):
    target = tmp_path / "pkg.zip"
    out = wow64_suite.run_program(EXE32, "-run", str(target), stdin=None)
    assert out.exit_code == 0, out.text
    # The suite's values are read through the 32-bit view, as the installer wrote them.
    assert "Reading QOR directory...OK\n" in out.text
    assert "Logs...OK\n" in out.text
    with zipfile.ZipFile(target) as archive:
        assert archive.testzip() is None
        names = set(archive.namelist())
    subprocess.run(["unzip", "-tq", str(target)], check=True, capture_output=True)
    assert {"tdidump.txt", "lspdump.txt", "ipcdump.txt"} <= names
    assert any(n.replace("\\", "/").startswith("logs/C__ProgramData_QOR_Firewall_log/")
               for n in names)
