"""Both Windows builds: console programs with the manifest and version resource, no MinGW DLLs,
as the toolchain's objdump reads their headers and resource directory."""
import re
import subprocess

import pytest

from conftest import EXE, EXE32

BUILDS = [(EXE32, "pei-i386", "010b", "i686"), (EXE, "pei-x86-64", "020b", "x86_64")]
# Known system libraries only, which the loader takes from the system folder: any other is
# looked up at run time by its full path.
SYSTEM_DLLS = {"kernel32.dll", "ntdll.dll", "advapi32.dll", "msvcrt.dll", "shell32.dll",
               "ole32.dll", "oleaut32.dll"}
RT_MANIFEST, RT_VERSION = 24, 16


@pytest.mark.parametrize("path,file_format,magic,triple", BUILDS)
def test_console_program_with_its_resources(path, file_format, magic, triple):
    dump = subprocess.run([f"{triple}-w64-mingw32-objdump", "-p", str(path)],
                          capture_output=True, text=True, check=True).stdout
    assert f"file format {file_format}" in dump
    assert re.search(rf"^Magic\s+{magic}\b", dump, re.M)
    assert re.search(r"^Subsystem\s+00000003\b", dump, re.M)  # console
    imports = {line.split(":", 1)[1].strip().lower()
               for line in dump.splitlines() if "DLL Name:" in line}
    assert imports == SYSTEM_DLLS, imports
    for kind in (RT_MANIFEST, RT_VERSION):  # resource 1 of each type
        assert re.search(rf"Entry: ID: 0x{kind:06x}, .*\n.*Name Table.*\n.*Entry: ID: 0x000001,",
                         dump), kind

    data = path.read_bytes()
    assert b'<requestedExecutionLevel level="requireAdministrator" uiAccess="false"/>' in data
    for guid in ("e2011457-1546-43c5-a5fe-008deee3d3f0",   # Vista
                 "35138b9a-5d96-4fbd-8e2d-a2440225f93a",   # 7
                 "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38"):  # 8
        assert f'<supportedOS Id="{{{guid}}}"/>'.encode() in data
    # The fixed part's signature after the version resource's key.
    fixed = data.find(b"\xbd\x04\xef\xfe", data.rfind("VS_VERSION_INFO".encode("utf-16-le")))
    assert fixed > 0
    ms, ls = int.from_bytes(data[fixed + 8:fixed + 12], "little"), \
        int.from_bytes(data[fixed + 12:fixed + 16], "little")
    assert (ms >> 16, ms & 0xFFFF, ls >> 16) == (2, 0, 241)
    assert "QOR Firewall Diagnostics Tool".encode("utf-16-le") in data
