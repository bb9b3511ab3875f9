#!/usr/bin/env bash
# installer/sign with a throwaway self-signed certificate made here: the program and the
# installer come out with a SHA-256 Authenticode signature that verifies against it, and
# without a certificate they are left unsigned, and it says so.
# Usage: check_signing.sh <light.exe> <installer>
set -uo pipefail
. "$(dirname "$0")/support/check.sh"
sign=$(dirname "$0")/../installer/sign
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Light test signer" \
    -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout pass:test \
    -out "$work/signer.pfx"
cp "$1" "$work/light.exe"
cp "$2" "$work/setup.exe"

check "says it leaves files unsigned" grep -q unsigned <(LIGHT_SIGN_PFX='' "$sign" "$work/light.exe")
check "leaves them unsigned" cmp "$1" "$work/light.exe"
LIGHT_SIGN_PFX=$work/signer.pfx LIGHT_SIGN_PASSWORD=test "$sign" "$work/light.exe" "$work/setup.exe"
for file in light.exe setup.exe; do
    verified=$(osslsigncode verify -CAfile "$work/cert.pem" -in "$work/$file" 2>&1)
    check "$file signed and verified" grep -q 'Signature verification: ok' <<<"$verified"
    check "$file digest is SHA-256" grep -q 'Message digest algorithm *: SHA256' <<<"$verified"
done
finish "light.exe and the installer: signed and verified"
