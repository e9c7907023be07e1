""""netareas.txt": Wine's network list and adapters as the firewall classifies them."""
import re
import shutil

import pytest

RECORD = re.compile(
    r"(?:Adapter name:(?P<friendly>.*)\n)?Description:(?P<description>.*)\n"
    r"Windows ID:(?P<id>.*)\nSystem GUID:(?P<guid>.*)\nFlags: \{(?P<flags>.*)\}\n"
    r"MAC Address:(?P<mac>.*)\nIP Address:\n(?P<addresses>(?:\taddress:.*\n)*)\n\n")


@pytest.fixture
def program(wine):
    """The program with the testbed's logging module beside it, which it then attaches: its
    folder is the suite's installation directory."""
    folder = wine.drive_c("C:\\Program Files\\netareas")
    folder.mkdir()
    shutil.copy(wine.build.exe, folder)
    shutil.copy(wine.build.testbed / "qorlogx.dll", folder)
    with wine.installation_directory(folder):
        yield folder / wine.build.exe.name
    shutil.rmtree(folder)


def network_areas(session, program, tmp_path):
    text, (dump,) = session.package(tmp_path / "pkg.zip", "netareas.txt", program=program)
    assert "Network areas...OK\n" in text
    assert "\n" not in dump.replace("\r\n", "")
    return dump.replace("\r\n", "\n")


def adapter_records(text):
    body = text[text.index("Adapters:\n") + len("Adapters:\n"):]
    records = [m.groupdict() for m in RECORD.finditer(body)]
    assert "".join(m.group(0) for m in RECORD.finditer(body)) == body
    return records


def test_wine_adapters_with_their_flags_and_addresses(wine, program, tmp_path):
    text = network_areas(wine, program, tmp_path)
    # Wine's networks answer E_NOTIMPL for their name and have no property bag: all left out.
    assert text.startswith("NLA networks:\nAdapters:\n")
    records = adapter_records(text)
    loopback = [r for r in records if "Loopback, " in r["flags"]]
    assert len(loopback) == 1
    assert loopback[0]["flags"] == "Active, Loopback, Unsupported, "
    assert re.search(r"^\taddress:127\.0\.0\.1, mask:[0-9.]+$", loopback[0]["addresses"], re.M)
    assert loopback[0]["mac"] == ""
    for record in records:
        assert re.fullmatch(r"\{[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}\}", record["guid"])
        assert record["id"].lower() == record["guid"]
        assert re.fullmatch(r"([0-9a-f]{2}(-[0-9a-f]{2})*)?", record["mac"])
        if "Active, " not in record["flags"]:
            assert record["addresses"] == ""
    # Wine has no sharing manager class and no best IPv6 route: both logged, not fatal.
    logged = [line for line in (program.parent / "qorlogx-calls.txt").read_text().splitlines()
              if line.startswith("write ")]
    assert logged == [
        "write 3 QOR.QORFW.Sys.OsAdapters FWWINOSADAPTINFO Best IPv6 interface failed: 0xe0010054",
        "write 3 QOR.QORFW.Sys.OsAdapters FWWINOSADAPTINFO "
        "Connection sharing query failed: 0x80040154"]


# XP has no network list section; 2000 no adapter names.
@pytest.mark.parametrize("version, start", [("winxp", "Adapters:\nAdapter name:"),
                                            ("win2k", "Adapters:\nDescription:")])
def test_older_windows_sections(wine, program, tmp_path, version, start):
    with wine.windows_version(version):
        text = network_areas(wine, program, tmp_path)
    assert text.startswith(start)
    assert len(adapter_records(text)) >= 1
    assert ("Adapter name:" in text) == (version == "winxp")
