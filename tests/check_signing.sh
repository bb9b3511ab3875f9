#!/usr/bin/env bash
# Signing as ./dev package does it, with throwaway keys, a CA and a timestamp authority made here:
# light.exe with a key in a PKCS#12 file and with one a software token never lets out (PKCS#11),
# and through the token an installer and the uninstaller inside it, and the MSI; each SHA-256,
# timestamped and verified. Refusals say why and leave every file as it was.
# Usage: check_signing.sh <light.exe> <MSI> <makensis> <light.nsi> <makensis arguments>...
# shellcheck disable=SC2317  # functions that only `check` calls
set -uo pipefail
. "$(dirname "$0")/support/check.sh"
sign=$(realpath "$(dirname "$0")/../installer/sign")
server=$(realpath "$(dirname "$0")/support/timestamp_server.py")
failing_signer=$(realpath "$(dirname "$0")/support/osslsigncode_failing_from")
light=$1
msi=$2
makensis=$3
script=$4
shift 4
work=$(mktemp -d)
trap 'kill %1 2>/dev/null; rm -rf "$work"' EXIT
cd "$work" || exit 1
unset LIGHT_SIGN_PFX LIGHT_SIGN_PKCS11_MODULE

openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Light test CA" -keyout ca.key \
    -out ca.pem -addext basicConstraints=critical,CA:true 2>/dev/null
issue() {  # name, subject, extended key usage, public key: a certificate from the test CA
    printf 'basicConstraints=CA:false\nextendedKeyUsage=%s\n' "$3" >"$1.ext"
    openssl x509 -new -force_pubkey "$4" -subj "/CN=$2" -CA ca.pem -CAkey ca.key -days 1 \
        -extfile "$1.ext" -out "$1.pem" 2>/dev/null
}
for name in file tsa; do
    openssl genpkey -algorithm rsa -out "$name.key" 2>/dev/null
    openssl pkey -in "$name.key" -pubout -out "$name.pub"
done
issue file "Light test signer" codeSigning file.pub
issue tsa "Light test timestamps" critical,timeStamping tsa.pub
openssl pkcs12 -export -inkey file.key -in file.pem -passout pass:test -out file.pfx

# The token's key is made inside it and marked never extractable; only its public half comes out.
export SOFTHSM2_CONF=$work/softhsm2.conf
module=/usr/lib/softhsm/libsofthsm2.so
mkdir tokens && echo "directories.tokendir = $work/tokens" >"$SOFTHSM2_CONF"
softhsm2-util --init-token --free --label light-test --pin 1234 --so-pin 5678 >/dev/null
p11() { pkcs11-tool --module "$module" --token-label light-test --login --pin 1234 "$@" 2>/dev/null; }
p11 --keypairgen --key-type rsa:2048 --id 01 --label signer >/dev/null
check "the token's key never leaves it" grep -q 'never extractable' <(p11 --list-objects --type privkey)
p11 --read-object --type pubkey --id 01 -o token.der
openssl pkey -pubin -inform DER -in token.der -out token.pub
issue token "Light test signer on a token" codeSigning token.pub

printf '%s\n' "[ tsa_config ]" "serial = $work/serial" "signer_cert = $work/tsa.pem" \
    "signer_key = $work/tsa.key" "signer_digest = sha256" "default_policy = 1.2.3.4.1" \
    "digests = sha256" "ess_cert_id_alg = sha256" >tsa.cnf
echo 01 >serial
python3 "$server" tsa.cnf >port &
for _ in $(seq 100); do [ -s port ] && break; sleep 0.05; done
LIGHT_SIGN_TIMESTAMP_URL=http://127.0.0.1:$(cat port)
export LIGHT_SIGN_TIMESTAMP_URL
with_file=("LIGHT_SIGN_PFX=$work/file.pfx" LIGHT_SIGN_PASSWORD=test)
with_token=("LIGHT_SIGN_PKCS11_MODULE=$module" "LIGHT_SIGN_CERT=$work/token.pem" LIGHT_SIGN_PIN=1234
    "LIGHT_SIGN_KEY=pkcs11:token=light-test;object=signer;type=private")

verified() {  # signed with SHA-256 by the certificate named, and timestamped by the authority
    local report
    report=$(osslsigncode verify -CAfile ca.pem -TSA-CAfile ca.pem -in "$1" 2>&1)
    grep -q 'Signature verification: ok' <<<"$report" &&
        grep -q 'Message digest algorithm *: SHA256' <<<"$report" &&
        grep -q "Subject: /CN=$2\$" <<<"$report" &&
        grep -q 'Timestamp Server Signature verification: ok' <<<"$report"
}

for route in file token; do cp "$light" "$route.exe"; done
check "says it leaves a file unsigned" grep -q unsigned <("$sign" file.exe)
check "and leaves it as it was" cmp "$light" file.exe
env "${with_file[@]}" "$sign" file.exe >/dev/null
check "light.exe signed with a key in a file, and timestamped" verified file.exe "Light test signer"
env "${with_token[@]}" "$sign" token.exe >/dev/null
check "light.exe signed with the token's key, and timestamped" \
    verified token.exe "Light test signer on a token"
env "${with_token[@]}" "$makensis" "$@" -DVERSION=1.0.0 -DOUTFILE="$work/setup.exe" "$script" >/dev/null
check "the installer signed through the token, and timestamped" \
    verified setup.exe "Light test signer on a token"
7zz x -ounpacked setup.exe >/dev/null
check "and the uninstaller inside it" \
    verified "$(find unpacked -name uninstall.exe)" "Light test signer on a token"
cp "$msi" light.msi
env "${with_token[@]}" "$sign" light.msi >/dev/null
check "the MSI signed through the token, and timestamped" verified light.msi "Light test signer on a token"

# makensis asks for the uninstaller's signature first, then the installer's: either one that
# fails stops the build, or an unsigned installer would ship around signed programs.
mkdir failing && ln -s "$failing_signer" failing/osslsigncode
for failing in 1/uninstaller 2/installer; do
    rm -f signatures
    # Compressed quickly: only the signatures matter here.
    PATH=$work/failing:$PATH SIGNATURES=$work/signatures FAIL_FROM=${failing%/*} \
        env "${with_file[@]}" "$makensis" "-XSetCompressor /FINAL zlib" "$@" -DVERSION=1.0.0 \
        -DOUTFILE="$work/failed.exe" "$script" >/dev/null 2>&1
    outcome="$?/$(cat signatures)"
    check "a failed signature of the ${failing#*/} fails makensis: $outcome" \
        test "$outcome" = "1/${failing%/*}"
done

cp "$light" untimed.exe
check "without a timestamp server it says so" grep -q 'WITHOUT A TIMESTAMP' \
    <(env "${with_file[@]}" LIGHT_SIGN_TIMESTAMP_URL='' "$sign" untimed.exe)
check "and signs all the same" osslsigncode verify -CAfile ca.pem -in untimed.exe

# Refusals: a missing module, one that is no module, a file that cannot be signed after one that
# can.
for route in file token; do cp "$light" "$route.exe"; done
echo "not a program" >text.exe
for module in "/nonexistent.so|module /nonexistent.so does not exist" \
    "$work/text.exe|Unable to load module $work/text.exe"; do
    said=$(env "${with_token[@]}" "LIGHT_SIGN_PKCS11_MODULE=${module%%|*}" "$sign" file.exe 2>&1)
    check "module ${module%%|*} fails, and says why: $said" grep -qF "${module#*|}" <<<"$said"
done
said=$(env "${with_token[@]}" "$sign" token.exe text.exe 2>&1)
check "a file that cannot be signed fails, and says which: $said" \
    grep -q "could not sign text.exe" <<<"$said"
check "and nothing was signed" bash -c "cmp '$light' file.exe && cmp '$light' token.exe"
check "nor anything left beside the files" test "$(ls ./*.signed ./*.unsigned 2>/dev/null)" = ""
finish "light.exe, the installer and its uninstaller: signed with a key in a file or on a token, timestamped and verified"
