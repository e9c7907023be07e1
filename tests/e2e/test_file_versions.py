"""verdump.txt on the testbed prefix: the suite's stand-in module and the testbed driver with
their versions; data files give no line; without a "drivers\\Qor" folder the dump ends after
the system directory's listing."""
import re

import pytest

@pytest.fixture(scope="module")
def verdump(suite, tmp_path_factory):
    drivers = suite.drive_c("C:\\windows\\system32\\drivers")
    notes = drivers / "qornotes.txt"
    notes.write_text("not an image\r\n")
    assert not (drivers / "Qor").exists()
    try:
        out, (dump,) = suite.package(tmp_path_factory.mktemp("versions") / "package.zip",
                                     "verdump.txt")
    finally:
        notes.unlink()
    assert "QOR versions...OK\n" in out, [l for l in out.split("\n") if "QOR" in l]
    return suite.build.program_files + "\\QOR\\Firewall", dump


def test_lists_the_module_and_the_driver_with_their_versions(verdump):
    program_dir, verdump = verdump
    listings = re.fullmatch(
        r"File versions in (?P<program>.+) directory:\r\n\r\n(?P<modules>(?:.+\r\n)*)"
        r"\r\nFile versions in (?P<drivers>.+) directory:\r\n\r\n(?P<driver_lines>(?:.+\r\n)*)"
        r"\r\nFile versions in (?P<system>.+) directory:\r\n\r\n(?P<system_lines>(?:.+\r\n)*)",
        verdump)
    assert listings, verdump
    assert listings["program"] == program_dir
    assert listings["modules"] == "qorlogx.dll 14.0.7.21\r\n"
    assert listings["drivers"].lower() == "c:\\windows\\system32\\drivers\\"
    # The text file matches "qor*.*" but is no image: no line of its own.
    assert listings["driver_lines"] == "qortdi.sys 14.0.3.9\r\n"
    assert listings["system"].lower() == "c:\\windows\\system32"
    assert listings["system_lines"] == ""
