"""The release's own tools: the archive writer gives the same bytes for the same entries
whenever and however the files were made, and the difference finder names the part of a
program or archive where two builds part."""
import os
import subprocess
import sys
import zipfile

from conftest import BUILDS, ROOT

SCRIPTS = ROOT / "scripts"


def archive(path, epoch, **entries):
    subprocess.run([sys.executable, str(SCRIPTS / "release_archive.py"), str(path), str(epoch),
                    *(f"{name}={file}" for name, file in entries.items())], check=True)
    return path.read_bytes()


def difference(one, other) -> str:
    found = subprocess.run([sys.executable, str(SCRIPTS / "first_difference.py"), str(one),
                            str(other)], capture_output=True, text=True, check=False)
    assert found.returncode == (0 if found.stdout.startswith("the same") else 1)
    return found.stdout.strip()


def test_archive_bytes_depend_only_on_names_and_contents(tmp_path):
    a, b = tmp_path / "a.txt", tmp_path / "b.exe"
    a.write_bytes(b"text\r\n")
    b.write_bytes(bytes(range(256)) * 64)
    first = archive(tmp_path / "1.zip", 1765000000, **{"z.txt": a, "b.exe": b})
    os.utime(a, (0, 0))
    os.chmod(b, 0o600)
    second = archive(tmp_path / "2.zip", 1765000000, **{"b.exe": b, "z.txt": a})
    assert first == second
    with zipfile.ZipFile(tmp_path / "1.zip") as made:
        assert made.namelist() == ["b.exe", "z.txt"]
        assert made.read("z.txt") == b"text\r\n"
        assert {info.date_time for info in made.infolist()} == {(2025, 12, 6, 5, 46, 40)}
    # Before 1980, which a ZIP cannot date, the entries keep its first day.
    archive(tmp_path / "3.zip", 0, **{"z.txt": a})
    with zipfile.ZipFile(tmp_path / "3.zip") as made:
        assert made.infolist()[0].date_time == (1980, 1, 1, 0, 0, 0)


def test_difference_named_by_pe_field_section_or_archive_entry(tmp_path):
    program = BUILDS["win64"].exe
    data = bytearray(program.read_bytes())
    same = tmp_path / "same.exe"
    same.write_bytes(data)
    assert difference(program, same) == "the same bytes"

    pe = int.from_bytes(data[0x3C:0x40], "little")
    stamped = bytearray(data)
    stamped[pe + 9] ^= 1  # the time stamp's second byte
    (tmp_path / "stamped.exe").write_bytes(stamped)
    assert difference(program, tmp_path / "stamped.exe") == \
        f"first difference at offset {pe + 9} (0x{pe + 9:x}): PE header field TimeDateStamp"

    # The version resource's text, and the debug link (a long name, from the string table).
    for marker, section in (("QOR Firewall Diagnostics Tool".encode("utf-16-le"), ".rsrc"),
                            (BUILDS["win64"].debug_file.name.encode(), ".gnu_debuglink")):
        changed = bytearray(data)
        changed[data.rfind(marker)] ^= 1
        (tmp_path / "changed.exe").write_bytes(changed)
        assert f": section {section} (+0x" in difference(program, tmp_path / "changed.exe")
    assert difference(program, tmp_path / "same.exe") == "the same bytes"
    (tmp_path / "short.exe").write_bytes(data[:-1])
    assert difference(program, tmp_path / "short.exe").endswith(
        f"sizes {len(data)} and {len(data) - 1}")

    first, second = tmp_path / "first.txt", tmp_path / "second.txt"
    first.write_bytes(b"one")
    second.write_bytes(b"one")
    archive(tmp_path / "one.zip", 1765000000, **{"a.txt": first, "b.txt": second})
    second.write_bytes(b"two")
    archive(tmp_path / "two.zip", 1765000000, **{"a.txt": first, "b.txt": second})
    assert difference(tmp_path / "one.zip", tmp_path / "two.zip").endswith(": entry b.txt")
