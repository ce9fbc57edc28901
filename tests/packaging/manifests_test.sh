#!/usr/bin/env bash
# The package manifests written from their templates for this build's setup program and zip are
# complete and carry the files' hashes; and the check is a check: a file changed after the manifests
# were written, a required field missing, or the settings tool not shipped, each fail it.
#   manifests_test.sh BUILD_DIR WORK_DIR PYTHON3
set -euo pipefail
build=$(realpath "$1")
work=$2
python=$3
source "$build/release.env"
here=$(cd "$(dirname "$0")/../../packaging/release" && pwd)
rm -rf "$work"
mkdir -p "$work"
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

"$python" "$here/manifests.py" "$work/manifests" "$ORVANE_VERSION" "$ORVANE_INSTALLER" "$ORVANE_PORTABLE" \
  "$ORVANE_SETTINGS_TOOL" "https://downloads.example.org/v$ORVANE_VERSION" "https://example.org/orvane"
"$python" "$here/check_manifests.py" "$work/manifests" "$ORVANE_VERSION" "$ORVANE_INSTALLER" "$ORVANE_PORTABLE" \
  "$ORVANE_SETTINGS_TOOL" || fail "the manifests of this build do not pass the check"

# Expects the check to fail, saying SAYS.
refused() {
  local says=$1 output
  shift
  if output=$("$python" "$here/check_manifests.py" "$@" 2>&1); then
    fail "the check passes: $*"
  elif ! grep -q -- "$says" <<<"$output"; then
    fail "the check fails without saying '$says': $output"
  fi
}
mkdir -p "$work/changed"
cp "$ORVANE_INSTALLER" "$ORVANE_PORTABLE" "$work/changed/"
printf 'x' >>"$work/changed/$(basename "$ORVANE_INSTALLER")"
printf 'x' >>"$work/changed/$(basename "$ORVANE_PORTABLE")"
refused "InstallerSha256 is not the SHA-256" "$work/manifests" "$ORVANE_VERSION" \
  "$work/changed/$(basename "$ORVANE_INSTALLER")" "$ORVANE_PORTABLE" "$ORVANE_SETTINGS_TOOL"
refused "hash is not the SHA-256" "$work/manifests" "$ORVANE_VERSION" \
  "$ORVANE_INSTALLER" "$work/changed/$(basename "$ORVANE_PORTABLE")" "$ORVANE_SETTINGS_TOOL"
refused "bin lacks another_tool.exe" "$work/manifests" "$ORVANE_VERSION" "$ORVANE_INSTALLER" "$ORVANE_PORTABLE" another_tool.exe

cp -r "$work/manifests" "$work/unlicensed"
sed -i '/^License:/d' "$work/unlicensed/winget/"*locale*.yaml
refused "License missing" "$work/unlicensed" "$ORVANE_VERSION" "$ORVANE_INSTALLER" "$ORVANE_PORTABLE" "$ORVANE_SETTINGS_TOOL"

[ "$failures" -eq 0 ] || exit 1
echo "the manifests are complete, carry the files' hashes, and a fault in them is caught"
