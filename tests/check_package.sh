#!/usr/bin/env bash
# ./dev package as the release runs it, and installer/sign. Unsigned, it builds the same bytes in
# any folder at any time: two builds in two folders, made at different times. Signed as the
# release signs, through its own steps with a key that a software token made and never lets out
# (PKCS#11), every program is signed, in the downloads and inside them, each SHA-256, timestamped
# and verified. installer/sign with a key in a PKCS#12 file, without a timestamp server, and its
# refusals, which say why and leave every file as it was. A package, or a makensis, that fails
# leaves nothing. Both build folders are kept from run to run, so that a warm run compiles only
# what changed (in both), and links, packs and signs afresh.
# Usage: check_package.sh <source folder> <build folder> <light.exe> <makensis> <light.nsi>
#                         <makensis arguments>...
# shellcheck disable=SC2317,SC2154  # functions that only `check` calls; names from support/signing.sh
set -uo pipefail
here=$(realpath "$(dirname "$0")")
. "$here/support/check.sh"
source=$1
earlier=$2/reproducible
later=$2/reproducible-elsewhere
light=$3
makensis=$4
script=$5
shift 5
sign=$source/installer/sign
cd "$(mktemp -d)" || exit 1
work=$PWD
# dev dates the build itself, from the last commit.
unset SOURCE_DATE_EPOCH LIGHT_SIGN_PFX LIGHT_SIGN_PKCS11_MODULE
for folder in "$earlier" "$later"; do
    LIGHT_BUILD_DIR=$folder "$source/dev" package >/dev/null &
    builds+=("$!")
done
for build in "${builds[@]}"; do wait "$build" || exit 1; done
files=$(cd "$later" && find bin/light.exe bin/setup-helper.exe bin/light-msi-actions.dll \
    ./*-setup.exe ./*.msi ./*.zip ./*.buildinfo ./*.cdx.json THIRD-PARTY-NOTICES.txt SHA256SUMS winget -type f | sort)
check "it builds both programs, the MSI's DLL, both installers, the ZIP, the build information, \
the SBOM, the notices, SHA256SUMS and three manifests" test "$(wc -l <<<"$files")" = 13
for file in $files; do
    check "$file: the same bytes" cmp "$earlier/$file" "$later/$file"
done
check "SHA256SUMS verifies the installers, the ZIP, the build information and the SBOM" test "$(cd "$later" &&
    sha256sum --strict -c SHA256SUMS)" = "$(cd "$later" && printf '%s: OK\n' *-setup.exe *.msi \
    *.zip ./*.buildinfo ./*.cdx.json | sed 's|^\./||')"
said=$(node "$here/support/sbom_check.mjs" "${earlier%/*}/npm/node_modules" "$later"/*.cdx.json "$later" "$later/bin" 2>&1)
check "the SBOM is CycloneDX 1.6, its licences SPDX's, each SHA-256 its file's: $said" test "$?" = 0
# The package of each file that makes or signs the bytes, at the version installed here, asked
# of dpkg once.
made_by=("$(command -v makensis)" "$(command -v wixl)" "$(command -v msibuild)"
    "$(command -v x86_64-w64-mingw32-g++-posix)" "$(command -v x86_64-w64-mingw32-ld)"
    /usr/x86_64-w64-mingw32/include/windows.h "$(command -v cmake)" "$(command -v osslsigncode)" /usr/bin/python3)
owners=$(readlink -f "${made_by[@]}" | xargs dpkg -S)
check "dpkg names the package of each of the ${#made_by[@]} tools" test "$?/$(wc -l <<<"$owners")" = "0/${#made_by[@]}"
packages=$(cut -d: -f1 <<<"$owners" | sort -u)
while read -r package version; do
    check "the build information names $package at its version" grep -qxF " $package $version" "$later"/*.buildinfo
done < <(xargs dpkg-query -W -f='${Package} ${Version}\n' <<<"$packages")

. "$here/support/signing.sh"
check "the token's key never leaves it" grep -q 'never extractable' <(p11 --list-objects --type privkey)
# The release's module step, then its package step with the certificate as text: OpenSSL's
# PKCS#11 engine is what ./dev package installs, where a machine lacks it. Meanwhile, a package
# that fails at its last step, the ZIP, once the installers and manifests are built.
route=("LIGHT_SIGN_PKCS11_MODULE=$module" LIGHT_SIGN_PKCS11_PACKAGES=softhsm2 LIGHT_SIGN_PIN=1234
    "LIGHT_SIGN_CERT_PEM=$(cat token.pem)" "LIGHT_SIGN_KEY=pkcs11:token=light-test;object=signer;type=private")
mkdir failing && printf '#!/bin/sh\nexit 1\n' >failing/cpack && chmod +x failing/cpack
(PATH=$work/failing:$PATH LIGHT_BUILD_DIR=$later "$source/dev" package >/dev/null 2>&1) &
failing=$!
env "${route[@]}" "$source/.github/scripts/install-pkcs11-module" >/dev/null &&
    env "${route[@]}" GITHUB_OUTPUT="$work/signed" LIGHT_BUILD_DIR="$earlier" \
        "$source/.github/scripts/package-release" "$source/dev" package >/dev/null 2>&1
check "signed through a token as the release signs: $(cat signed 2>/dev/null)" test "$?/$(cat signed)" = 0/signed=true
wait "$failing"
check "a package that fails leaves no download" test "$?/$(cd "$later" &&
    ls -d ./*-setup.exe ./*.msi ./*.zip SHA256SUMS winget 2>/dev/null)" = 1/
7zz x -osetup "$earlier"/*-setup.exe >/dev/null && msiextract -C msi "$earlier"/*.msi >/dev/null &&
    mkdir zip && (cd zip && cmake -E tar xf "$earlier"/*.zip)
for folder in setup msi/* zip/*; do
    check "$folder holds the notices" cmp "$earlier/THIRD-PARTY-NOTICES.txt" "$folder/THIRD-PARTY-NOTICES.txt"
done
# The NSIS plugins whose notices installer/bom gives are the ones the installer carries.
nsis=$(jq -r '.components[] | select(.name == "NSIS") | .files[] | select(endswith(".dll"))' \
    "$source/installer/bom/components.json")
check "the installer carries the NSIS plugins the notices name, and no other" test \
    "$(cd "setup/\$PLUGINSDIR" && echo ./*.dll)" = "$(xargs -n1 basename <<<"$nsis" | sed 's|^|./|' | sort | xargs)"
while read -r dll; do check "and $dll itself" cmp "$dll" "setup/\$PLUGINSDIR/${dll##*/}"; done <<<"$nsis"
for file in "$earlier"/*-setup.exe setup/*.exe "$earlier"/*.msi msi/*/*.exe \
    "$earlier"/bin/light-msi-actions.dll zip/*/light.exe; do
    check "${file#"$earlier"/} signed through the token, and timestamped" verified "$file" "Light test signer on a token"
done

cp "$light" file.exe
check "installer/sign says it leaves a file unsigned" grep -q unsigned <("$sign" file.exe)
check "and leaves it as it was" cmp "$light" file.exe
env "${with_file[@]}" "$sign" file.exe >/dev/null
check "light.exe signed with a key in a file, and timestamped" verified file.exe "Light test signer"
cp "$light" untimed.exe
check "without a timestamp server it says so" grep -q 'WITHOUT A TIMESTAMP' \
    <(env "${with_file[@]}" LIGHT_SIGN_TIMESTAMP_URL='' "$sign" untimed.exe)
check "and signs all the same" osslsigncode verify -CAfile ca.pem -in untimed.exe

# makensis asks for the uninstaller's signature first, then the installer's: either one that
# fails stops the build, or an unsigned installer would ship around signed programs.
mkdir refusing && ln -s "$here/support/osslsigncode_failing_from" refusing/osslsigncode
for failing in 1/uninstaller 2/installer; do
    rm -f signatures
    # Compressed quickly: only the signatures matter here.
    PATH=$work/refusing:$PATH SIGNATURES=$work/signatures FAIL_FROM=${failing%/*} \
        env "${with_file[@]}" "$makensis" "-XSetCompressor /FINAL zlib" "$@" -DVERSION=1.0.0 \
        -DOUTFILE="$work/failed.exe" "$script" >/dev/null 2>&1
    outcome="$?/$(cat signatures)"
    check "a failed signature of the ${failing#*/} fails makensis: $outcome" test "$outcome" = "1/${failing%/*}"
done

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
check "a file that cannot be signed fails, and says which: $said" grep -q "could not sign text.exe" <<<"$said"
check "and nothing was signed" bash -c "cmp '$light' file.exe && cmp '$light' token.exe"
check "nor anything left beside the files" test "$(ls ./*.signed ./*.unsigned 2>/dev/null)" = ""
finish "./dev package: the same bytes from the same commit, in any folder, at any time; signed as the release signs"
