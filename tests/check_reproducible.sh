#!/usr/bin/env bash
# ./dev package, unsigned, builds the same bytes in any folder at any time: two builds in two
# folders, made at different times. Both folders are kept from run to run, so that a warm run
# compiles only what changed (in both), and links, packs and signs afresh. A package that fails
# leaves nothing.
# Usage: check_reproducible.sh <source folder> <build folder>
# shellcheck disable=SC2317  # functions that only `check` calls
set -uo pipefail
. "$(dirname "$0")/support/check.sh"
source=$1
earlier=$2/reproducible
later=$2/reproducible-elsewhere
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# dev dates the build itself, from the last commit.
unset SOURCE_DATE_EPOCH LIGHT_SIGN_PFX LIGHT_SIGN_PKCS11_MODULE
for folder in "$earlier" "$later"; do
    LIGHT_BUILD_DIR=$folder "$source/dev" package >/dev/null || exit 1
done
files=$(cd "$later" && find bin/light.exe bin/setup-helper.exe bin/light-msi-actions.dll \
    ./*-setup.exe ./*.msi ./*.zip ./*.buildinfo SHA256SUMS winget -type f | sort)
check "it builds both programs, the MSI's DLL, both installers, the ZIP, the build information, \
SHA256SUMS and three manifests" test "$(wc -l <<<"$files")" = 11
for file in $files; do
    check "$file: the same bytes" cmp "$earlier/$file" "$later/$file"
done
check "SHA256SUMS verifies the installers, the ZIP and the build information" test "$(cd "$later" &&
    sha256sum --strict -c SHA256SUMS)" = "$(cd "$later" && printf '%s: OK\n' *-setup.exe *.msi \
    *.zip ./*.buildinfo | sed 's|^\./||')"
# The package of each file that makes the bytes, at the version installed here.
for made_by in "$(command -v makensis)" "$(command -v wixl)" "$(command -v msibuild)" \
    "$(command -v x86_64-w64-mingw32-g++-posix)" "$(command -v x86_64-w64-mingw32-ld)" \
    /usr/x86_64-w64-mingw32/include/windows.h "$(command -v cmake)"; do
    package=$(dpkg -S "$(readlink -f "$made_by")" | cut -d: -f1)
    check "the build information names $package at its version" grep -qxF \
        " $package $(dpkg-query -W -f='${Version}' "$package")" "$later"/*.buildinfo
done
downloads() { cd "$1" && ls -d ./*-setup.exe ./*.msi ./*.zip SHA256SUMS winget 2>/dev/null; }
# Packages that fail, side by side, one in each folder: one at its last step, the ZIP, once the
# installers and manifests are built; one whose installer cannot be signed, once the programs and
# the DLL were.
mkdir "$work/failing" && printf '#!/bin/sh\nexit 1\n' >"$work/failing/cpack" &&
    chmod +x "$work/failing/cpack"
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Light test signer" -keyout \
    "$work/signer.key" -out "$work/signer.pem" 2>/dev/null &&
    openssl pkcs12 -export -inkey "$work/signer.key" -in "$work/signer.pem" -passout pass:test \
        -out "$work/signer.pfx" && mkdir "$work/signer" &&
    ln -s "$(realpath "$(dirname "$0")")/support/osslsigncode_failing_from" "$work/signer/osslsigncode"
(
    PATH=$work/failing:$PATH LIGHT_BUILD_DIR=$later "$source/dev" package >/dev/null 2>&1
    echo $? >"$work/at-last-step"
) &
(
    PATH=$work/signer:$PATH SIGNATURES=$work/signatures FAIL_FROM=4 LIGHT_SIGN_PFX=$work/signer.pfx \
        LIGHT_SIGN_PASSWORD=test LIGHT_BUILD_DIR=$earlier "$source/dev" package >/dev/null 2>&1
    echo $? >"$work/in-makensis"
) &
wait
check "a package that fails leaves no download" \
    test "$(cat "$work/at-last-step")/$(downloads "$later")" = 1/
check "so does one whose signing fails inside makensis" \
    test "$(($(cat "$work/in-makensis") != 0))/$(cat "$work/signatures")/$(downloads "$earlier")" = 1/4/
finish "./dev package: the same bytes from the same commit, in any folder, at any time"
