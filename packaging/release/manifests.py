#!/usr/bin/env python3
"""Writes the package manifests of a release from their templates (winget/*.yaml.in, scoop/*.json.in
beside this file), with the files' real SHA-256 and their download addresses.

    manifests.py OUT VERSION SETUP.exe PORTABLE.zip SETTINGS_TOOL DOWNLOAD_BASE HOMEPAGE

OUT/winget/ gets the winget manifest set (version, installer, default locale) and OUT/scoop/ the
Scoop manifest. DOWNLOAD_BASE is the address the release's files are downloaded from, which their
names are appended to.
"""
import hashlib
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as file:
        for block in iter(lambda: file.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def fill(template, values):
    with open(template, encoding="utf-8") as file:
        text = file.read()
    for name, value in values.items():
        text = text.replace(f"@{name}@", value)
    left = re.findall(r"@[A-Z0-9_]+@", text)
    if left:
        raise SystemExit(f"manifests.py: {template} names values no one gives: {' '.join(sorted(set(left)))}")
    return text


def main(out, version, setup, portable, settings_tool, download_base, homepage):
    if not re.fullmatch(r"[0-9]+(\.[0-9]+){1,3}", version):
        raise SystemExit(f"manifests.py: not a version: {version}")
    base = download_base.rstrip("/")
    values = {
        "VERSION": version,
        "PACKAGE_IDENTIFIER": "Orvane.Orvane",
        "INSTALLER_URL": f"{base}/{os.path.basename(setup)}",
        "INSTALLER_SHA256": sha256(setup).upper(),
        "PORTABLE_URL": f"{base}/{os.path.basename(portable)}",
        "PORTABLE_SHA256": sha256(portable),
        "SETTINGS_TOOL": settings_tool,
        "HOMEPAGE": homepage,
    }
    for kind, suffix in (("winget", ".yaml.in"), ("scoop", ".json.in")):
        os.makedirs(os.path.join(out, kind), exist_ok=True)
        for name in sorted(os.listdir(os.path.join(HERE, kind))):
            if name.endswith(suffix):
                text = fill(os.path.join(HERE, kind, name), values)
                with open(os.path.join(out, kind, name[: -len(".in")]), "w", encoding="utf-8", newline="\n") as file:
                    file.write(text)


if __name__ == "__main__":
    if len(sys.argv) != 8:
        raise SystemExit(__doc__)
    main(*sys.argv[1:])
