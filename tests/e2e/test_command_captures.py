"""Registry exports and command captures in a package made on the testbed."""
import re
import zipfile


def test_captures_in_the_package(suite, tmp_path):
    target = tmp_path / "package"
    out = suite.run("-run", str(target), stdin=None)
    assert out.exit_code == 0
    # Wine's regedit reports a missing key on the shared console, amid the transcript.
    text = re.sub(r"regedit: [^\n]*\n", "", out.text)
    for ok in ("Registry LSP...OK\n", "Registry Uninstall (x32)...OK\n",
               "Registry CurrentControlSet...OK\n", "IP configuration...OK\n",
               "ARP table...OK\n", "Active connections...OK\n", "\nWFP info result: OK\n"):
        assert ok in text
    # No driverquery.exe or route.exe here: those steps fail and the run goes on.
    assert "Installed drivers...Failed\n" in text and "Route table...Failed\n" in text
    with zipfile.ZipFile(target) as archive:
        names = set(archive.namelist())
        ipconfig = archive.read("ipcdump.txt")
        lsp = archive.read("lspdump.txt")
    expected = {"lspdump.txt", "appdump.txt", "ccsdump.txt", "ipcdump.txt", "arpdump.txt",
                "netdump.txt"}
    assert expected - names == set()
    assert "drvdump.txt" not in names  # nothing started, nothing created
    assert "iprdump.txt" in names  # the second of the route captures ran
    assert b"Hostname" in ipconfig  # ipconfig /all, the last of the four captures
    assert "WinSock2".encode("utf-16-le") in lsp or b"WinSock2" in lsp
