"""verdump.txt on the testbed prefix: the suite's stand-in module and the testbed driver with
their versions; data files give no line; without a "drivers\\Qor" folder the dump ends after
the system directory's listing."""
import re

import pytest

from conftest import dump_text


@pytest.fixture
def verdump(suite, suite_package):
    assert "QOR versions...OK\n" in suite_package.text
    assert not suite.drive_c("C:\\windows\\system32\\drivers\\Qor").exists()
    dump = dump_text(suite_package.files["verdump.txt"], "verdump.txt")
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
