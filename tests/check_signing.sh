#!/usr/bin/env bash
# Signing as ./dev package does it, with a throwaway code-signing certificate and a timestamp
# authority on loopback, both made here: light.exe signed by installer/sign, and an installer
# built by makensis whose own signature and that of the uninstaller inside it are SHA-256,
# verified and timestamped. Without a timestamp server a signature is made and it says so;
# without a certificate the file is left as it is, and it says so.
# Usage: check_signing.sh <light.exe> <makensis> <light.nsi> <makensis arguments>...
# shellcheck disable=SC2317  # functions that only `check` calls
set -uo pipefail
. "$(dirname "$0")/support/check.sh"
sign=$(realpath "$(dirname "$0")/../installer/sign")
server=$(realpath "$(dirname "$0")/support/timestamp_server.py")
light=$1
makensis=$2
script=$3
shift 3
work=$(mktemp -d)
trap 'kill %1 2>/dev/null; rm -rf "$work"' EXIT
cd "$work" || exit 1

certificate() {  # name, subject, extended key usage
    openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=$2" -addext "extendedKeyUsage=$3" \
        -keyout "$1.key" -out "$1.pem" 2>/dev/null
}
certificate signer "Light test signer" codeSigning
certificate tsa "Light test timestamps" critical,timeStamping
openssl pkcs12 -export -inkey signer.key -in signer.pem -passout pass:test -out signer.pfx
printf '%s\n' "[ tsa_config ]" "serial = $work/serial" "signer_cert = $work/tsa.pem" \
    "signer_key = $work/tsa.key" "signer_digest = sha256" "default_policy = 1.2.3.4.1" \
    "digests = sha256" "ess_cert_id_alg = sha256" >tsa.cnf
echo 01 >serial
python3 "$server" tsa.cnf >port &
for _ in $(seq 100); do [ -s port ] && break; sleep 0.05; done
export LIGHT_SIGN_PFX=$work/signer.pfx LIGHT_SIGN_PASSWORD=test
LIGHT_SIGN_TIMESTAMP_URL=http://127.0.0.1:$(cat port)
export LIGHT_SIGN_TIMESTAMP_URL

verified() {  # signed with SHA-256 by the signer, and timestamped by the authority
    local report
    report=$(osslsigncode verify -CAfile signer.pem -TSA-CAfile tsa.pem -in "$1" 2>&1)
    grep -q 'Signature verification: ok' <<<"$report" &&
        grep -q 'Message digest algorithm *: SHA256' <<<"$report" &&
        grep -q 'Timestamp Server Signature verification: ok' <<<"$report"
}

cp "$light" light.exe
check "says it leaves a file unsigned" grep -q unsigned <(LIGHT_SIGN_PFX='' "$sign" light.exe)
check "and leaves it as it was" cmp "$light" light.exe
"$sign" light.exe >/dev/null
check "light.exe signed and timestamped" verified light.exe
"$makensis" "$@" -DVERSION=1.0.0 -DOUTFILE="$work/setup.exe" "$script" >/dev/null
check "the installer signed and timestamped" verified setup.exe
7zz x -ounpacked setup.exe >/dev/null
check "and the uninstaller inside it" verified "$(find unpacked -name uninstall.exe)"
cp "$light" untimed.exe
check "without a timestamp server it says so" grep -q 'WITHOUT A TIMESTAMP' \
    <(LIGHT_SIGN_TIMESTAMP_URL='' "$sign" untimed.exe)
check "and signs all the same" osslsigncode verify -CAfile signer.pem -in untimed.exe
finish "light.exe, the installer and its uninstaller: signed, timestamped and verified"
