#!/usr/bin/env bash
# What makes two builds of one commit differ, looked for in this build: a time in a PE header, the
# build's own folders in what ships, and a setup program or zip that changes when it is packed again
# in another folder from copies of the same files dated otherwise. (scripts/rebuild builds a whole
# second clone elsewhere and compares; scripts/release runs it.)
#   repack_test.sh BUILD_DIR SOURCE_DIR WORK_DIR OBJDUMP PYTHON3
set -euo pipefail
build=$(realpath "$1")
source_dir=$(realpath "$2")
work=$3
objdump=$4
python=$5
source "$build/release.env"
rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

# Our programs carry 0 for a time, in the PE header and in the resources' directory; the setup program
# the time of NSIS's own stub (its package's build), which makensis copies.
stamp() { "$objdump" -p "$1" | awk -F'\t+' '/^Time\/Date/ { print $2 }'; }
shipped=("$ORVANE_SHIPPED_DIR/orvane.exe" "$ORVANE_SHIPPED_DIR/orvane.exe.debug" "$ORVANE_SHIPPED_DIR/$ORVANE_SETTINGS_TOOL")
for file in "${shipped[@]}"; do
  [ "$(stamp "$file")" = "Thu Jan  1 00:00:00 1970" ] || fail "$file: the PE header carries a time: $(stamp "$file")"
done
for file in "$ORVANE_SHIPPED_DIR/orvane.exe" "$ORVANE_SHIPPED_DIR/$ORVANE_SETTINGS_TOOL"; do
  tables=$("$objdump" -p "$file" | grep -c 'Table: .*Time: ' || true)
  [ "$tables" -gt 0 ] || fail "$file: no resource directory"
  "$objdump" -p "$file" | grep 'Table: .*Time: ' | grep -qv 'Time: 00000000' && fail "$file: a resource directory carries a time"
done
stub=$(find /usr/share/nsis/Stubs -name 'lzma_solid-amd64-unicode' | head -n 1)
[ -n "$stub" ] || fail "NSIS's stub is not where Debian puts it"
[ -z "$stub" ] || [ "$(stamp "$ORVANE_INSTALLER")" = "$(stamp "$stub")" ] \
  || fail "the setup program's PE header carries a time of its own: $(stamp "$ORVANE_INSTALLER")"
for file in "${shipped[@]}" "$ORVANE_INSTALLER"; do
  for folder in "$source_dir" "$build"; do
    grep -qaF "$folder" "$file" && fail "$file names the folder $folder"
  done
done

# The setup program again, from copies in another folder with other times: the same bytes.
elsewhere=$work/elsewhere
mkdir -p "$elsewhere"
cp "$ORVANE_SHIPPED_DIR"/* "$elsewhere/"
touch -d '2001-02-03 04:05:06' "$elsewhere"/*
sed -e "s|$ORVANE_SHIPPED_DIR/|$elsewhere/|g" -e "s|$(dirname "$ORVANE_INSTALLER")/|$work/|g" \
  "$build/packaging/orvane.nsi" >"$work/orvane.nsi"
grep -qF "$elsewhere/orvane.exe" "$work/orvane.nsi" || fail "the installer script does not take orvane.exe from the shipped folder"
installer=$work/$(basename "$ORVANE_INSTALLER")
(cd "$work" && makensis -V2 -WX -NOCD "$work/orvane.nsi" >makensis.log 2>&1) || { cat "$work/makensis.log"; exit 1; }
cmp -s "$installer" "$ORVANE_INSTALLER" || fail "the setup program packed again elsewhere differs"

# The zip again, from the same copies given in another order.
portable=$work/$(basename "$ORVANE_PORTABLE")
"$python" "$source_dir/packaging/release/zip.py" "$portable" Orvane "$ORVANE_SOURCE_DATE_EPOCH" \
  LICENSE.txt="$elsewhere/LICENSE.txt" BINDING-A-SHORTCUT.txt="$elsewhere/BINDING-A-SHORTCUT.txt" \
  Orvane.ini="$elsewhere/Orvane.ini.example" "$ORVANE_SETTINGS_TOOL=$elsewhere/$ORVANE_SETTINGS_TOOL" \
  orvane.exe="$elsewhere/orvane.exe"
cmp -s "$portable" "$ORVANE_PORTABLE" || fail "the zip packed again elsewhere differs"

[ "$failures" -eq 0 ] || exit 1
echo "no times or build folders in what ships, and packing again elsewhere gives the same bytes"
