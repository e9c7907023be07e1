#!/usr/bin/env python3
"""Prints where two builds of one file first differ: the offset, and the part of the file it
falls in (a PE header field or section, or a ZIP entry).

usage: first_difference.py FILE1 FILE2"""
import struct
import sys
import zipfile


def first_difference(a: bytes, b: bytes):
    """The first offset at which `a` and `b` differ, or None for equal bytes."""
    size, block = min(len(a), len(b)), 1 << 16
    for start in range(0, size, block):
        one, other = a[start:min(start + block, size)], b[start:min(start + block, size)]
        if one != other:
            return start + next(i for i, (x, y) in enumerate(zip(one, other)) if x != y)
    return None if len(a) == len(b) else min(len(a), len(b))


def section_name(raw: bytes, data: bytes, strings: int) -> str:
    name = raw.rstrip(b"\0").decode("latin-1")
    if name.startswith("/") and name[1:].isdigit() and strings:  # long name: string table
        start = strings + int(name[1:])
        name = data[start:data.index(b"\0", start)].decode("latin-1")
    return name


def pe_part(data: bytes, offset: int) -> str:
    """The header field or section of a PE image that holds `offset`."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if offset < pe:
        return "DOS header and stub"
    count, stamp_field = struct.unpack_from("<H", data, pe + 6)[0], pe + 8
    symbols, symbol_count, optional_size = struct.unpack_from("<IIH", data, pe + 12)
    optional = pe + 24
    table = optional + optional_size
    fields = {stamp_field: "TimeDateStamp", optional + 64: "CheckSum"}
    for start, field in fields.items():
        if start <= offset < start + 4:
            return f"PE header field {field}"
    if offset < optional:
        return "PE file header"
    if offset < table:
        return "PE optional header"
    if offset < table + 40 * count:
        return "PE section table"
    strings = symbols + 18 * symbol_count if symbols else 0
    for index in range(count):
        entry = table + 40 * index
        size, start = struct.unpack_from("<II", data, entry + 16)
        if start <= offset < start + size:
            name = section_name(data[entry:entry + 8], data, strings)
            return f"section {name} (+0x{offset - start:x})"
    if symbols and offset >= symbols:
        return "COFF symbol or string table"
    return "no section (padding)"


def zip_part(path: str, offset: int) -> str:
    """The ZIP entry (header or data) or central directory that holds `offset`."""
    with zipfile.ZipFile(path) as archive:
        entries = sorted(archive.infolist(), key=lambda info: info.header_offset)
        directory = archive.start_dir
    if offset >= directory:
        return "central directory"
    for info in reversed(entries):
        if offset >= info.header_offset:
            return f"entry {info.filename}"
    return "before the first entry"


def describe(path: str, data: bytes, offset: int) -> str:
    try:
        if data[:2] == b"MZ":
            return pe_part(data, offset)
        if data[:4] == b"PK\x03\x04":
            return zip_part(path, offset)
    except (struct.error, ValueError, zipfile.BadZipFile) as error:
        return f"unreadable layout ({error})"
    return "data"


def main(argv: list) -> int:
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    with open(argv[1], "rb") as one, open(argv[2], "rb") as other:
        a, b = one.read(), other.read()
    offset = first_difference(a, b)
    if offset is None:
        print("the same bytes")
        return 0
    sizes = "" if len(a) == len(b) else f", sizes {len(a)} and {len(b)}"
    print(f"first difference at offset {offset} (0x{offset:x}): {describe(argv[1], a, offset)}"
          f"{sizes}")
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
