#!/usr/bin/env python3
"""Writes the portable zip: one program file at its top level.

  portable_zip.py OUT.zip PROGRAM NAME

The entry's date is SOURCE_DATE_EPOCH when set (the release sets the last
commit's), so the same program gives the same zip.
"""
import os
import sys
import time
import zipfile


def main():
    out, program, name = sys.argv[1:4]
    stamp = int(os.environ.get("SOURCE_DATE_EPOCH") or os.stat(program).st_mtime)
    entry = zipfile.ZipInfo(name, date_time=time.gmtime(max(stamp, 315532800))[:6])
    entry.compress_type = zipfile.ZIP_DEFLATED
    entry.create_system = 3  # Unix, so that the mode below is read
    entry.external_attr = 0o100755 << 16
    with open(program, "rb") as f:
        data = f.read()
    with zipfile.ZipFile(out + ".part", "w") as archive:
        archive.writestr(entry, data, compresslevel=9)
    os.replace(out + ".part", out)


if __name__ == "__main__":
    main()
