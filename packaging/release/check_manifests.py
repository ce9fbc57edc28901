#!/usr/bin/env python3
"""Checks a release's package manifests: every field winget's 1.6 schemas and Scoop require, the
values a package manager acts on (installer type, scope, silent switches, what is put on the PATH,
in the Start menu and kept across updates), the same version everywhere, and hashes and names that
match the files.

    check_manifests.py MANIFESTS VERSION SETUP.exe PORTABLE.zip SETTINGS_TOOL

Prints each fault and exits 1 when there is any.
"""
import hashlib
import json
import os
import re
import sys
import zipfile

import yaml

IDENTIFIER = re.compile(r'^[^.\s\\/:*?"<>|\x01-\x1f]{1,32}(\.[^.\s\\/:*?"<>|\x01-\x1f]{1,32}){1,7}$')
SHA256 = re.compile(r"^[A-Fa-f0-9]{64}$")
REQUIRED = {
    "version": ["PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType", "ManifestVersion"],
    "installer": ["PackageIdentifier", "PackageVersion", "Installers", "ManifestType", "ManifestVersion"],
    "defaultLocale": ["PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher", "PackageName",
                      "License", "ShortDescription", "ManifestType", "ManifestVersion"],
}


def sha256(path):
    with open(path, "rb") as file:
        return hashlib.sha256(file.read()).hexdigest()


def version_tuple(text):
    return tuple(int(part) for part in str(text).split("."))


def check_winget(folder, version, setup, faults):
    manifests = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), encoding="utf-8") as file:
            manifest = yaml.safe_load(file)
        kind = manifest.get("ManifestType") if isinstance(manifest, dict) else None
        if kind not in REQUIRED:
            faults.append(f"winget/{name}: no known ManifestType")
            continue
        if kind in manifests:
            faults.append(f"winget/{name}: a second {kind} manifest")
        manifests[kind] = manifest
        for field in REQUIRED[kind]:
            if manifest.get(field) in (None, "", []):
                faults.append(f"winget/{name}: {field} missing")
        try:
            if version_tuple(manifest.get("ManifestVersion", "0")) < (1, 6, 0):
                faults.append(f"winget/{name}: ManifestVersion {manifest.get('ManifestVersion')} is before 1.6.0")
        except ValueError:
            faults.append(f"winget/{name}: ManifestVersion is not a version")
        if not isinstance(manifest.get("PackageVersion"), str) or manifest.get("PackageVersion") != version:
            faults.append(f"winget/{name}: PackageVersion {manifest.get('PackageVersion')!r} is not {version}")
        if not IDENTIFIER.match(str(manifest.get("PackageIdentifier", ""))):
            faults.append(f"winget/{name}: PackageIdentifier {manifest.get('PackageIdentifier')!r} is not one")
    missing = set(REQUIRED) - set(manifests)
    if missing:
        faults.append(f"winget: no {', '.join(sorted(missing))} manifest")
        return
    if len({m["PackageIdentifier"] for m in manifests.values()}) != 1:
        faults.append("winget: the manifests name different packages")
    if manifests["version"]["DefaultLocale"] != manifests["defaultLocale"]["PackageLocale"]:
        faults.append("winget: DefaultLocale is not the default locale manifest's PackageLocale")
    locale = manifests["defaultLocale"]
    if not 3 <= len(str(locale.get("ShortDescription", ""))) <= 256:
        faults.append("winget: ShortDescription is not 3 to 256 characters")

    installer = manifests["installer"]
    entries = installer.get("Installers") or []
    for index, entry in enumerate(entries):
        where = f"winget: Installers[{index}]"
        merged = {**installer, **entry}
        for field in ("Architecture", "InstallerUrl", "InstallerSha256"):
            if not entry.get(field):
                faults.append(f"{where}: {field} missing")
        if merged.get("InstallerType") != "nullsoft":
            faults.append(f"{where}: InstallerType is {merged.get('InstallerType')!r}, not nullsoft")
        if merged.get("Scope") != "user":
            faults.append(f"{where}: Scope is {merged.get('Scope')!r}, not user")
        if entry.get("Architecture") != "x64":
            faults.append(f"{where}: Architecture is {entry.get('Architecture')!r}, not x64")
        switches = merged.get("InstallerSwitches") or {}
        for switch in ("Silent", "SilentWithProgress"):
            if "/S" not in str(switches.get(switch, "")).split():
                faults.append(f"{where}: InstallerSwitches.{switch} lacks /S")
        if switches.get("InstallLocation") != "/D=<INSTALLPATH>":
            faults.append(f"{where}: InstallerSwitches.InstallLocation is not /D=<INSTALLPATH>")
        url = str(entry.get("InstallerUrl", ""))
        if not url.startswith("https://") or not url.endswith("/" + os.path.basename(setup)):
            faults.append(f"{where}: InstallerUrl {url} is not an https address of {os.path.basename(setup)}")
        digest = str(entry.get("InstallerSha256", ""))
        if not SHA256.match(digest) or digest.lower() != sha256(setup):
            faults.append(f"{where}: InstallerSha256 is not the SHA-256 of {os.path.basename(setup)}")
    if not entries:
        faults.append("winget: no installer")


def check_scoop(folder, version, portable, settings_tool, faults):
    names = sorted(os.listdir(folder))
    if len(names) != 1:
        faults.append(f"scoop: {len(names)} manifests, not one")
        return
    with open(os.path.join(folder, names[0]), encoding="utf-8") as file:
        try:
            manifest = json.load(file)
        except json.JSONDecodeError as error:
            faults.append(f"scoop/{names[0]}: not JSON: {error}")
            return
    for field in ("version", "description", "homepage", "license"):
        if not manifest.get(field):
            faults.append(f"scoop: {field} missing")
    if manifest.get("version") != version:
        faults.append(f"scoop: version {manifest.get('version')!r} is not {version}")
    downloads = [manifest] + list((manifest.get("architecture") or {}).values())
    downloads = [d for d in downloads if d.get("url")]
    if not downloads:
        faults.append("scoop: no url")
    for download in downloads:
        url, digest = str(download.get("url")), str(download.get("hash", ""))
        if not url.startswith("https://") or not url.endswith("/" + os.path.basename(portable)):
            faults.append(f"scoop: url {url} is not an https address of {os.path.basename(portable)}")
        digest = digest[len("sha256:"):] if digest.startswith("sha256:") else digest
        if not SHA256.match(digest) or digest.lower() != sha256(portable):
            faults.append(f"scoop: hash is not the SHA-256 of {os.path.basename(portable)}")

    # What the manifest names must be in the zip, under the folder it unpacks from.
    root = manifest.get("extract_dir", "")
    try:
        with zipfile.ZipFile(portable) as archive:
            files = {name[len(root) + 1:] if root else name for name in archive.namelist()
                     if not root or name.startswith(root + "/")}
    except zipfile.BadZipFile:
        faults.append(f"scoop: {os.path.basename(portable)} is not a zip")
        return
    bins = manifest.get("bin") or []
    bins = [bins] if isinstance(bins, str) else bins
    targets = [b if isinstance(b, str) else b[0] for b in bins]
    for program in ("orvane.exe", settings_tool):
        if program not in targets:
            faults.append(f"scoop: bin lacks {program}")
    shortcuts = manifest.get("shortcuts") or []
    if not any(s[0] == "orvane.exe" for s in shortcuts):
        faults.append("scoop: no shortcut to orvane.exe")
    if any(len(s) < 2 or not s[1] for s in shortcuts):
        faults.append("scoop: a shortcut without a name")
    persist = manifest.get("persist") or []
    persist = [persist] if isinstance(persist, str) else persist
    if "Orvane.ini" not in persist:
        faults.append("scoop: Orvane.ini is not kept across updates (persist)")
    for named in targets + [s[0] for s in shortcuts] + persist:
        if named not in files:
            faults.append(f"scoop: {named} is not in the zip's {root or 'top'} folder")


def main(folder, version, setup, portable, settings_tool):
    faults = []
    check_winget(os.path.join(folder, "winget"), version, setup, faults)
    check_scoop(os.path.join(folder, "scoop"), version, portable, settings_tool, faults)
    for fault in faults:
        print(fault)
    if faults:
        sys.exit(1)
    print("the winget and Scoop manifests are complete and name their files with their hashes")


if __name__ == "__main__":
    if len(sys.argv) != 6:
        raise SystemExit(__doc__)
    main(*sys.argv[1:])
