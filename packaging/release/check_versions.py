#!/usr/bin/env python3
"""Checks that a release's files carry its version: each program's and the setup program's version
resource (the fixed file and product versions, and the FileVersion and ProductVersion texts), the
programs inside the zip likewise, and the setup program's and the zip's names.

    check_versions.py VERSION FILE...   (.exe files, and .zip files whose .exe entries are checked)

Prints each disagreement and exits 1 when there is any.
"""
import io
import os
import re
import struct
import sys
import zipfile

FIXED_SIGNATURE = struct.pack("<I", 0xFEEF04BD)


def text_value(data, key):
    """The value of a String entry of the version resource (None when there is none)."""
    needle = (key + "\0").encode("utf-16-le")
    at = data.find(needle)
    while at >= 0:
        start = at - 6  # wLength, wValueLength, wType come before the key
        if start >= 0 and at % 2 == 0:
            length, value_length, kind = struct.unpack_from("<HHH", data, start)
            position = at + len(needle)
            position += (4 - (position - start) % 4) % 4
            if kind == 1 and value_length:
                raw = data[position:position + 2 * value_length]
                return raw.decode("utf-16-le", errors="replace").split("\0")[0]
        at = data.find(needle, at + 2)
    return None


def versions_of(data):
    """The fixed file and product versions, as dotted quads, and the two version texts."""
    at = data.find(FIXED_SIGNATURE)
    if at < 0:
        return None
    _, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIIIII", data, at)
    quad = lambda ms, ls: f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    return {"fixed file version": quad(file_ms, file_ls), "fixed product version": quad(product_ms, product_ls),
            "FileVersion": text_value(data, "FileVersion"), "ProductVersion": text_value(data, "ProductVersion")}


def check_program(name, data, version, faults):
    found = versions_of(data)
    if found is None:
        faults.append(f"{name}: no version resource")
        return
    quad = ".".join((version.split(".") + ["0"] * 4)[:4])
    for field in ("fixed file version", "fixed product version"):
        if found[field] != quad:
            faults.append(f"{name}: {field} {found[field]}, not {quad}")
    for field in ("FileVersion", "ProductVersion"):
        if found[field] != version:
            faults.append(f"{name}: {field} {found[field]!r}, not {version}")


def main(version, files):
    faults = []
    for path in files:
        name = os.path.basename(path)
        if name.startswith("Orvane-") and f"-{version}-" not in name:
            faults.append(f"{name}: its name does not carry {version}")
        if name.lower().endswith(".zip"):
            with zipfile.ZipFile(path) as archive:
                programs = [entry for entry in archive.namelist() if entry.lower().endswith(".exe")]
                if not programs:
                    faults.append(f"{name}: no programs")
                for entry in programs:
                    check_program(f"{name}:{entry}", archive.read(entry), version, faults)
        else:
            with open(path, "rb") as file:
                check_program(name, file.read(), version, faults)
    for fault in faults:
        print(fault)
    if faults:
        sys.exit(1)
    print(f"every file carries version {version}")


if __name__ == "__main__":
    if len(sys.argv) < 3 or not re.fullmatch(r"[0-9]+(\.[0-9]+){1,3}", sys.argv[1]):
        raise SystemExit(__doc__)
    main(sys.argv[1], sys.argv[2:])
