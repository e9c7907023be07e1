#!/usr/bin/env python3
"""Writes a ZIP archive whose bytes depend only on its entries' names and contents:
entries in name order, each dated at one fixed time, with fixed attributes.

usage: release_archive.py ARCHIVE EPOCH NAME=FILE...  (EPOCH: seconds since 1970, UTC)"""
import sys
import time
import zipfile


def entry(name: str, epoch: int) -> zipfile.ZipInfo:
    # ZIP times are local DOS times from 1980 on: the UTC fields of the epoch, kept in range.
    fields = time.gmtime(max(epoch, 315532800))[:6]
    info = zipfile.ZipInfo(name, date_time=fields)
    info.create_system = 0  # MS-DOS: no Unix owner or mode
    info.external_attr = 0x20  # the archive attribute, as Windows itself writes
    info.compress_type = zipfile.ZIP_DEFLATED
    return info


def main(argv: list) -> int:
    if len(argv) < 4 or not argv[2].isdigit():
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    archive, epoch = argv[1], int(argv[2])
    entries = dict(arg.split("=", 1) for arg in argv[3:])
    with zipfile.ZipFile(archive, "w") as out:
        for name in sorted(entries):
            with open(entries[name], "rb") as source:
                out.writestr(entry(name, epoch), source.read(), compresslevel=9)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
