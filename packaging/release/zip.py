#!/usr/bin/env python3
"""Packs a zip that is the same bytes for the same files, whoever packs it and whenever.

    zip.py OUT.zip FOLDER EPOCH NAME=FILE [NAME=FILE ...]

Every entry goes under FOLDER/, in name order, dated EPOCH (seconds since 1970, UTC; DOS dates start
in 1980), with the same attributes (a plain file, rw-r--r--) and no extra fields: nothing of the
machine, the user, the umask or the files' own times reaches the archive.
"""
import sys
import time
import zipfile

DOS_EPOCH = 315532800  # 1980-01-01 00:00:00 UTC, the earliest time a zip entry can carry


def pack(out, folder, epoch, entries):
    stamp = time.gmtime(max(epoch, DOS_EPOCH))[:6]
    names = [name for name, _ in entries]
    if len(set(names)) != len(names):
        raise SystemExit("zip.py: a name is given twice: " + " ".join(sorted(names)))
    with zipfile.ZipFile(out, "w") as archive:
        for name, path in sorted(entries):
            info = zipfile.ZipInfo(f"{folder}/{name}", date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3  # Unix, so that the permission bits below mean what they say
            info.external_attr = 0o100644 << 16
            with open(path, "rb") as source:
                archive.writestr(info, source.read(), compresslevel=9)


def main(argv):
    if len(argv) < 5:
        raise SystemExit(__doc__)
    entries = []
    for argument in argv[4:]:
        name, sep, path = argument.partition("=")
        if not sep or not name or "/" in name or "\\" in name:
            raise SystemExit(f"zip.py: not NAME=FILE: {argument}")
        entries.append((name, path))
    pack(argv[1], argv[2], int(argv[3]), entries)


if __name__ == "__main__":
    main(sys.argv)
