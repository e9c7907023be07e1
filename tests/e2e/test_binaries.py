"""Both released programs: stripped console programs with the manifest and version resource,
a debug link to their debug file, and no MinGW DLLs, as the toolchain's objdump reads their
headers and resource directory. Nothing here runs them, so the 32-bit one is checked on any
machine."""
import re
import subprocess

import pytest

from conftest import BUILDS

FORMATS = {"win32": ("pei-i386", "010b"), "win64": ("pei-x86-64", "020b")}
# Known system libraries only, which the loader takes from the system folder: any other is
# looked up at run time by its full path.
SYSTEM_DLLS = {"kernel32.dll", "ntdll.dll", "advapi32.dll", "msvcrt.dll", "shell32.dll",
               "ole32.dll", "oleaut32.dll"}
RT_MANIFEST, RT_VERSION = 24, 16


def objdump(build, *args) -> str:
    return subprocess.run([f"{build.triple}-w64-mingw32-objdump", *args], capture_output=True,
                          text=True, check=True).stdout


def imports(dump: str) -> set:
    """(dll, function) pairs of the import tables in `objdump -p` output."""
    pairs, dll = set(), None
    for line in dump.splitlines():
        if "DLL Name:" in line:
            dll = line.split(":", 1)[1].strip().lower()
        elif dll and (row := re.match(r"^\t\s*[0-9a-f]+\s+\d+\s+(\S+)", line)):
            pairs.add((dll, row.group(1)))
        elif not line.strip():
            dll = None
    return pairs


@pytest.fixture(params=list(BUILDS))
def released(request):
    build = BUILDS[request.param]
    assert build.exe.exists(), f"{build.exe} is missing: run scripts/release.sh first"
    return build


def test_console_program_with_its_resources(released):
    file_format, magic = FORMATS[released.name]
    dump = objdump(released, "-p", str(released.exe))
    assert f"file format {file_format}" in dump
    assert re.search(rf"^Magic\s+{magic}\b", dump, re.M)
    assert re.search(r"^Subsystem\s+00000003\b", dump, re.M)  # console
    dlls = {dll for dll, _ in imports(dump)}
    assert dlls == SYSTEM_DLLS, dlls
    for kind in (RT_MANIFEST, RT_VERSION):  # resource 1 of each type
        assert re.search(rf"Entry: ID: 0x{kind:06x}, .*\n.*Name Table.*\n.*Entry: ID: 0x000001,",
                         dump), kind

    data = released.exe.read_bytes()
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


def test_stripped_with_a_debug_link_and_the_test_builds_imports(released):
    sections = re.findall(r"^\s*\d+\s+(\S+)\s+[0-9a-f]{8}\s", objdump(released, "-h",
                                                                       str(released.exe)), re.M)
    assert ".text" in sections and ".rsrc" in sections, sections
    assert not [name for name in sections if name.startswith((".debug", ".zdebug"))], sections
    assert ".gnu_debuglink" in sections
    assert released.debug_file.name.encode() + b"\0" in released.exe.read_bytes()
    assert not objdump(released, "-t", str(released.exe)).count("(scl"), "symbols left"

    assert released.debug_exe.exists(), f"build the {released.name} preset first"
    shipped = imports(objdump(released, "-p", str(released.exe)))
    tested = imports(objdump(released, "-p", str(released.debug_exe)))
    assert shipped == tested, (shipped ^ tested)
