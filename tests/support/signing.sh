# shellcheck shell=bash
# Sourced by the signing checks, in the folder they work in: a throwaway CA, a signer whose key is
# in a PKCS#12 file, one whose key a software token made and never lets out (PKCS#11), and a
# timestamp authority on loopback; when the check ends, the authority is stopped and the folder
# removed. Sets with_file and with_token, the environment that hands installer/sign either key,
# and LIGHT_SIGN_TIMESTAMP_URL.
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

SOFTHSM2_CONF=$PWD/softhsm2.conf
export SOFTHSM2_CONF
module=/usr/lib/softhsm/libsofthsm2.so
mkdir tokens && echo "directories.tokendir = $PWD/tokens" >"$SOFTHSM2_CONF"
softhsm2-util --init-token --free --label light-test --pin 1234 --so-pin 5678 >/dev/null
p11() { pkcs11-tool --module "$module" --token-label light-test --login --pin 1234 "$@" 2>/dev/null; }
p11 --keypairgen --key-type rsa:2048 --id 01 --label signer >/dev/null
p11 --read-object --type pubkey --id 01 -o token.der
openssl pkey -pubin -inform DER -in token.der -out token.pub
issue token "Light test signer on a token" codeSigning token.pub

printf '%s\n' "[ tsa_config ]" "serial = $PWD/serial" "signer_cert = $PWD/tsa.pem" \
    "signer_key = $PWD/tsa.key" "signer_digest = sha256" "default_policy = 1.2.3.4.1" \
    "digests = sha256" "ess_cert_id_alg = sha256" >tsa.cnf
echo 01 >serial
python3 "$(dirname "${BASH_SOURCE[0]}")/timestamp_server.py" tsa.cnf >port &
timestamp_server=$!
signing_folder=$PWD
trap 'kill "$timestamp_server"; rm -rf "$signing_folder"' EXIT
for _ in $(seq 100); do [ -s port ] && break; sleep 0.05; done
LIGHT_SIGN_TIMESTAMP_URL=http://127.0.0.1:$(cat port)
export LIGHT_SIGN_TIMESTAMP_URL
with_file=("LIGHT_SIGN_PFX=$PWD/file.pfx" LIGHT_SIGN_PASSWORD=test)
with_token=("LIGHT_SIGN_PKCS11_MODULE=$module" "LIGHT_SIGN_CERT=$PWD/token.pem" LIGHT_SIGN_PIN=1234
    "LIGHT_SIGN_KEY=pkcs11:token=light-test;object=signer;type=private")

verified() {  # signed with SHA-256 by the certificate named, and timestamped by the authority
    local report
    report=$(osslsigncode verify -CAfile ca.pem -TSA-CAfile ca.pem -in "$1" 2>&1)
    grep -q 'Signature verification: ok' <<<"$report" &&
        grep -q 'Message digest algorithm *: SHA256' <<<"$report" &&
        grep -q "Subject: /CN=$2\$" <<<"$report" &&
        grep -q 'Timestamp Server Signature verification: ok' <<<"$report"
}
