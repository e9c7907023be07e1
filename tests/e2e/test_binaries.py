"""Both Windows builds: console programs with the manifest and version resource, no MinGW DLLs."""
import subprocess

import pytest

from conftest import EXE, EXE32
from pe_file import PeFile

BUILDS = [(EXE32, 0x14C, 0x10B, "i686"), (EXE, 0x8664, 0x20B, "x86_64")]
SYSTEM_DLLS = {"kernel32.dll", "msvcrt.dll", "ntdll.dll", "advapi32.dll", "user32.dll",
               "shell32.dll", "ole32.dll", "oleaut32.dll", "version.dll", "ws2_32.dll",
               "psapi.dll", "iphlpapi.dll", "setupapi.dll", "userenv.dll", "mpr.dll"}
RT_MANIFEST, RT_VERSION = 24, 16


@pytest.mark.parametrize("path,machine,magic,triple", BUILDS)
def test_console_program_of_the_right_kind(path, machine, magic, triple):
    pe = PeFile(path.read_bytes())
    assert (pe.machine, pe.magic, pe.subsystem) == (machine, magic, 3)
    dump = subprocess.run([f"{triple}-w64-mingw32-objdump", "-p", str(path)],
                          capture_output=True, text=True, check=True).stdout
    imports = {line.split(":", 1)[1].strip().lower()
               for line in dump.splitlines() if "DLL Name:" in line}
    assert imports and imports <= SYSTEM_DLLS, imports


@pytest.mark.parametrize("path", [EXE32, EXE])
def test_manifest_and_version_resource(path):
    pe = PeFile(path.read_bytes())
    manifest = pe.resource(RT_MANIFEST, 1).decode("utf-8")
    assert '<requestedExecutionLevel level="requireAdministrator" uiAccess="false"/>' in manifest
    for guid in ("e2011457-1546-43c5-a5fe-008deee3d3f0",   # Vista
                 "35138b9a-5d96-4fbd-8e2d-a2440225f93a",   # 7
                 "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38"):  # 8
        assert f'<supportedOS Id="{{{guid}}}"/>' in manifest
    version = pe.resource(RT_VERSION, 1)
    fixed = version.find(b"\xbd\x04\xef\xfe")  # VS_FIXEDFILEINFO signature
    assert fixed > 0
    ms, ls = int.from_bytes(version[fixed + 8:fixed + 12], "little"), \
        int.from_bytes(version[fixed + 12:fixed + 16], "little")
    assert (ms >> 16, ms & 0xFFFF, ls >> 16) == (2, 0, 241)
    assert "QOR Firewall Diagnostics Tool".encode("utf-16-le") in version
