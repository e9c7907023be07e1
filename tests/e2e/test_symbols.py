"""The released programs' debug files: each one is the file its program's debug link names
(the CRC matches), and gdb, given only the stripped program and that file beside it, resolves
a function of the program to its source line within the program's code."""
import re
import shutil
import subprocess
import zlib

import pytest

from conftest import BUILDS


def debug_link(build) -> tuple:
    """The file name and CRC-32 that the program's .gnu_debuglink section holds."""
    dump = subprocess.run([f"{build.triple}-w64-mingw32-objdump", "-s", "-j", ".gnu_debuglink",
                           str(build.exe)], capture_output=True, text=True, check=True).stdout
    # Rows: the address, four groups of four bytes in hex (35 columns), then the text.
    data = b"".join(bytes.fromhex(line.split(" ", 2)[2][:35].replace(" ", ""))
                    for line in dump.splitlines() if re.match(r"^ [0-9a-f]+ ", line))
    name_end = data.index(b"\0")
    crc_at = (name_end + 4) & ~3  # the name with its padding to four bytes
    return data[:name_end].decode(), int.from_bytes(data[crc_at:crc_at + 4], "little")


def code_range(build) -> range:
    dump = subprocess.run([f"{build.triple}-w64-mingw32-objdump", "-h", str(build.exe)],
                          capture_output=True, text=True, check=True).stdout
    size, start = re.search(r"^\s*\d+\s+\.text\s+([0-9a-f]+)\s+([0-9a-f]+)", dump, re.M).groups()
    return range(int(start, 16), int(start, 16) + int(size, 16))


def info_line(program) -> subprocess.CompletedProcess:
    """gdb's answer, in batch mode, to where the banner's function starts."""
    return subprocess.run(["gdb", "-batch", "-nx", "-ex", "info line qor::BannerText",
                           str(program)], capture_output=True, text=True, check=False,
                          timeout=120)


@pytest.mark.parametrize("name", list(BUILDS))
def test_debug_file_matches_its_program_and_resolves_a_function(name, tmp_path):
    build = BUILDS[name]
    assert build.exe.exists() and build.debug_file.exists(), "run scripts/release.sh first"
    link_name, crc = debug_link(build)
    assert link_name == build.debug_file.name
    assert crc == zlib.crc32(build.debug_file.read_bytes())

    alone = tmp_path / "alone"
    alone.mkdir()
    shutil.copy(build.exe, alone)
    assert "No symbol table" in info_line(alone / build.exe.name).stderr

    shutil.copy(build.exe, tmp_path)
    shutil.copy(build.debug_file, tmp_path)
    found = info_line(tmp_path / build.exe.name)
    assert "mismatch" not in found.stderr, found.stderr
    line = re.search(r'Line \d+ of "\./src/frontend/banner\.cpp" starts at address 0x([0-9a-f]+) '
                     r"<_ZN3qor10BannerText", found.stdout)
    assert line, found.stdout + found.stderr
    assert int(line.group(1), 16) in code_range(build)
