"""Archives made by the ZIP writer must open and verify in independent readers."""
import os
import pathlib
import random
import subprocess
import zipfile

import pytest

CLI = os.environ.get("ZIP_TREE_CLI", "")
STORED = (".z", ".zip", ".zoo", ".arc", ".lzh", ".arj", ".gz", ".tgz")

pytestmark = pytest.mark.skipif(not CLI, reason="ZIP_TREE_CLI not set")


def make_package_tree(root: pathlib.Path) -> dict:
    """A tree like a diagnostics package; returns {entry name: bytes or None for a folder}."""
    rng = random.Random(7)
    files = {
        "tdidump.txt": "\ufeffReport\r\n".encode("utf-16-le") * 50,
        "empty.log": b"",
        "exact16k.bin": bytes(rng.getrandbits(8) for _ in range(16384)),
        "over16k.txt": b"x" * 16385,
        "logs/fw.log": b"".join(b"%06d INFO QOR.QORFW started\r\n" % i for i in range(60000)),
        "logs/old/fw.log.1": b"rotated\r\n" * 3000,
        "logs/crash.zip": bytes(rng.getrandbits(8) for _ in range(70000)),
        "logs/trace.GZ": b"not really gzip",
        "inf/oem1.inf": b"[Version]\r\nSignature=\"$Windows NT$\"\r\n" * 200,
        "inf/archive.zip.txt": b"deflated, only the last suffix counts",
        "caf\u00e9/\u65e5\u672c.txt": "unicode name".encode(),
        ".hidden": b"dot file",
    }
    for name, data in files.items():
        path = root / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    (root / "empty-dir").mkdir()
    os.utime(root / "logs/fw.log", (1371204937, 1371204937))  # 2013-06-14 10:15:37 UTC
    os.chmod(root / "inf/oem1.inf", 0o444)
    entries = dict(files)
    for folder in ("logs/", "logs/old/", "inf/", "caf\u00e9/", "empty-dir/"):
        entries[folder] = None
    return entries


def run_cli(source: pathlib.Path, archive: pathlib.Path) -> None:
    proc = subprocess.run([CLI, str(source), str(archive), "-v"], capture_output=True,
                          timeout=120, check=False)
    assert proc.returncode == 0, proc.stderr


def entry_name(info: zipfile.ZipInfo) -> str:
    """The UTF-8 name; the writer does not set the UTF-8 flag, so zipfile decodes cp437."""
    return info.filename.encode("cp437").decode("utf-8")


def check_independent_readers(archive: pathlib.Path) -> None:
    unzip = subprocess.run(["unzip", "-t", "-q", str(archive)], capture_output=True, text=True,
                           check=False)
    assert unzip.returncode == 0, unzip.stdout + unzip.stderr
    seven = subprocess.run(["7z", "t", str(archive)], capture_output=True, text=True, check=False)
    assert seven.returncode == 0, seven.stdout + seven.stderr
    assert "Everything is Ok" in seven.stdout


def test_package_tree_verifies_in_every_reader(tmp_path):
    source = tmp_path / "work"
    entries = make_package_tree(source)
    archive = tmp_path / "package.tmp"
    run_cli(source, archive)

    with zipfile.ZipFile(archive) as zf:
        assert zf.testzip() is None
        infos = {entry_name(info): info for info in zf.infolist()}
        assert set(infos) == set(entries)
        for name, data in entries.items():
            info = infos[name]
            assert info.create_version == 23 and info.create_system == 11
            assert info.extract_version == 20
            if data is None:
                assert info.external_attr == 0x41C00010 and info.compress_type == 0
                continue
            assert zf.read(info) == data, name
            stored = any(name.lower().endswith(suffix) for suffix in STORED)
            assert info.compress_type == (0 if stored else 8), name
            assert info.flag_bits == (0 if stored else 2), name
            assert info.extra[:5] == b"UT\x05\x00\x07", name
        assert infos["logs/fw.log"].date_time == (2013, 6, 14, 10, 15, 36)
        assert infos["inf/oem1.inf"].external_attr >> 16 == 0x8100
        assert infos["logs/fw.log"].external_attr >> 16 == 0x8180
    check_independent_readers(archive)


def test_empty_tree_is_an_empty_archive(tmp_path):
    (tmp_path / "work").mkdir()
    archive = tmp_path / "package.tmp"
    run_cli(tmp_path / "work", archive)
    assert archive.stat().st_size == 22
    with zipfile.ZipFile(archive) as zf:
        assert zf.namelist() == []
    seven = subprocess.run(["7z", "t", str(archive)], capture_output=True, text=True, check=False)
    assert seven.returncode == 0, seven.stdout
    unzip = subprocess.run(["unzip", "-t", str(archive)], capture_output=True, text=True,
                           check=False)
    assert "zipfile is empty" in unzip.stdout + unzip.stderr
