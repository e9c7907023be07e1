"""Registry exports and command captures in a package made on the testbed."""


def test_captures_in_the_package(suite_package):
    text, files = suite_package.text, suite_package.files
    for ok in ("Registry LSP...OK\n", "Registry Uninstall (x32)...OK\n",
               "Registry CurrentControlSet...OK\n", "IP configuration...OK\n",
               "ARP table...OK\n", "Active connections...OK\n", "\nWFP info result: OK\n"):
        assert ok in text
    # No driverquery.exe or route.exe here: those steps fail and the run goes on.
    assert "Installed drivers...Failed\n" in text and "Route table...Failed\n" in text
    expected = {"lspdump.txt", "appdump.txt", "ccsdump.txt", "ipcdump.txt", "arpdump.txt",
                "netdump.txt"}
    assert expected - files.keys() == set()
    assert "drvdump.txt" not in files  # nothing started, nothing created
    assert "iprdump.txt" in files  # the second of the route captures ran
    assert b"Hostname" in files["ipcdump.txt"]  # ipconfig /all, the last of the four captures
    lsp = files["lspdump.txt"]
    assert "WinSock2".encode("utf-16-le") in lsp or b"WinSock2" in lsp
