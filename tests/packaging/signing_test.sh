#!/usr/bin/env bash
# A signed release made with a throwaway certificate and a timestamp server on the loopback, both made
# here: every program, the setup program and the uninstaller it writes carry a valid SHA-256
# Authenticode signature with a timestamp, the zip carries the signed programs, a changed byte or a
# missing signature fails the check, and the signed setup program still installs and uninstalls under
# Wine.
#   signing_test.sh BUILD_DIR WORK_DIR   (Wine's environment as scripts/test sets it)
set -euo pipefail
build=$(realpath "$1")
work=$2
source "$build/release.env"
rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")
cd "$work"
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

# The publisher's certificate, and a timestamping authority's, each its own self-signed root.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Orvane test publisher" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  -keyout signer.key -out signer.crt 2>/dev/null
printf 'a throwaway password\n' >password
openssl pkcs12 -export -inkey signer.key -in signer.crt -out signer.pfx -passout file:password
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Orvane test timestamps" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=critical,timeStamping" \
  -keyout tsa.key -out tsa.crt 2>/dev/null
echo 01 >tsa.serial
cat >tsa.cnf <<CONF
[ tsa ]
default_tsa = orvane_test
[ orvane_test ]
serial = $work/tsa.serial
crypto_device = builtin
signer_cert = $work/tsa.crt
signer_key = $work/tsa.key
signer_digest = sha256
default_policy = 1.3.6.1.4.1.4146.2.3
digests = sha256
accuracy = secs:1
ess_cert_id_alg = sha256
CONF
python3 "$(dirname "$0")/timestamp_server.py" tsa.cnf port 300 &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
for _ in $(seq 1 50); do [ -f port ] && break; sleep 0.1; done
[ -f port ] || { echo "the timestamp server did not start" >&2; exit 1; }

export ORVANE_SIGN_PFX=$work/signer.pfx ORVANE_SIGN_PASSWORD_FILE=$work/password
export ORVANE_SIGN_TIMESTAMP_URL="http://127.0.0.1:$(cat port)/"
cmake --build "$build" --target signed >build.log 2>&1 || { cat build.log; exit 1; }

signed=$ORVANE_SIGNED_DIR
setup=$signed/$(basename "$ORVANE_INSTALLER")
zip=$signed/$(basename "$ORVANE_PORTABLE")

# A valid signature by our certificate, made with SHA-256 and timestamped.
verify() {
  local file=$1 report
  if ! report=$(osslsigncode verify -CAfile signer.crt -TSA-CAfile tsa.crt -in "$file" 2>&1); then
    fail "$file: the signature does not verify"; echo "$report" >&2; return
  fi
  grep -q "Message digest algorithm *: SHA256" <<<"$report" || fail "$file: not signed with SHA-256"
  grep -q "CN=Orvane test publisher" <<<"$report" || fail "$file: not signed by the test certificate"
  grep -qi "Timestamp verified\|Timestamp Server Signature verification: ok" <<<"$report" \
    || { fail "$file: no valid timestamp"; echo "$report" >&2; }
}
for file in "$signed/orvane.exe" "$signed/$ORVANE_SETTINGS_TOOL" "$setup"; do
  verify "$file"
done

# The check is a check: an unsigned program and a signed one with one byte changed both fail it.
osslsigncode verify -CAfile signer.crt -in "$ORVANE_SHIPPED_DIR/orvane.exe" >/dev/null 2>&1 \
  && fail "an unsigned program passes the check"
cp "$signed/orvane.exe" tampered.exe
printf '\x01' | dd of=tampered.exe bs=1 seek=4096 conv=notrunc status=none
osslsigncode verify -CAfile signer.crt -TSA-CAfile tsa.crt -in tampered.exe >/dev/null 2>&1 \
  && fail "a program changed after signing passes the check"

# The zip carries the signed programs.
mkdir unzipped
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" unzipped
for program in orvane.exe "$ORVANE_SETTINGS_TOOL"; do
  cmp -s "unzipped/Orvane/$program" "$signed/$program" || fail "the signed zip's $program is not the signed one"
done

# Installed under Wine: the programs are the signed ones, the uninstaller is signed, and it removes them.
winpath() { printf 'Z:%s' "$(realpath -m "$1" | tr / '\\\\')"; }
installed=$work/installed
code=0
wine "$setup" /S /RECIPIENT=arvel@example.com /HOTKEY=Ctrl+Alt+F9 "/D=$(winpath "$installed")" </dev/null >/dev/null 2>&1 || code=$?
[ "$code" -eq 0 ] || fail "the signed setup program exited with $code"
for program in orvane.exe "$ORVANE_SETTINGS_TOOL"; do
  cmp -s "$installed/$program" "$signed/$program" || fail "the installed $program is not the signed one"
done
if [ -f "$installed/uninstall.exe" ]; then
  verify "$installed/uninstall.exe"
  code=0
  wine "$installed/uninstall.exe" /S "_?=$(winpath "$installed")" </dev/null >/dev/null 2>&1 || code=$?
  [ "$code" -eq 0 ] || fail "the signed uninstaller exited with $code"
  [ -e "$installed/orvane.exe" ] && fail "the uninstaller left orvane.exe"
  [ -e "$installed/Orvane.ini" ] && fail "the uninstaller left Orvane.ini"
else
  fail "the setup program wrote no uninstaller"
fi

[ "$failures" -eq 0 ] || exit 1
echo "every signature verifies, and the signed setup program installs and uninstalls"
