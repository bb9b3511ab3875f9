#!/usr/bin/env bash
# The GitHub workflows, which only GitHub runs: valid as GitHub's own parser reads them, building
# as the README says, and releasing once only a tag that the version and the changelog agree with,
# only with the files build made. The PowerShell here reads as Windows PowerShell 5.1 reads it.
# Usage: check_workflows.sh <source folder> <build folder>
# shellcheck disable=SC2317  # functions that only `check` calls
set -uo pipefail
. "$(dirname "$0")/support/check.sh"
source=$1
# GitHub's parser and a PowerShell grammar, as their lockfile pins them: ./dev test installs them.
tool=$2/npm
parser=$tool/node_modules/@actions/workflow-parser/dist/index.js
if ! cmp -s "$(dirname "$0")/support/parsers/package-lock.json" "$tool/package-lock.json" ||
    [ ! -f "$parser" ]; then
    echo "FAILED: the parsers are not installed in $tool as their lockfile pins them (./dev test does)"
    exit 1
fi
check "the workflows are valid for GitHub Actions" node "$(dirname "$0")/support/workflow_check.mjs" \
    "$parser" "$source"/.github/workflows/*.yml
said=$(node "$(dirname "$0")/support/powershell_check.mjs" "$tool/node_modules" "$source" 2>&1)
check "every PowerShell script and workflow step reads as PowerShell 5.1 reads it: $said" test "$?" = 0
both_build_with() {
    grep -qxF "    $1" "$source/README.md" && grep -qxF "          $1" "$source/.github/workflows/windows.yml"
}
for command in "cmake -S . -B build" "cmake --build build --config Release" \
    "pacman -S --needed --noconfirm mingw-w64-ucrt-x86_64-gcc mingw-w64-ucrt-x86_64-cmake mingw-w64-ucrt-x86_64-ninja" \
    "cmake -S . -B build -G Ninja" "cmake --build build"; do
    check "README and workflow both build with: $command" both_build_with "$command"
done
facts=$(python3 "$(dirname "$0")/support/workflow_facts.py" "$source" 2>&1)
check "the workflows hold what a release needs: $facts" test -z "$facts"

# The release's build step: the key where only this user reads it, gone on every exit, the
# downloads made with the usual umask, and whether they are signed recorded for the next jobs.
package=$source/.github/scripts/package-release
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
said=$(LIGHT_SIGN_PFX_BASE64=$(printf key | base64) GITHUB_OUTPUT=$work/output "$package" bash -c \
    'echo "$LIGHT_SIGN_PFX" >"$0"; echo "$(stat -c %a "$LIGHT_SIGN_PFX") $(cat "$LIGHT_SIGN_PFX")"
    exit 3' "$work/key")
check "a package that fails: its status, the key readable by this user only, and then gone" \
    test "$?/$said/$(test -e "$(cat "$work/key")"; echo $?)" = "3/600 key/1"
# The environment, then the exit code, the umask the package ran with and what GITHUB_OUTPUT got;
# a PIN that the job's outputs could hold is refused.
for row in "LIGHT_SIGN_PFX_BASE64=a2V5|0 $(umask) signed=true" \
    "LIGHT_SIGN_PKCS11_MODULE=/token.so|0 $(umask) signed=true" "LIGHT_SIGN_PFX_BASE64=|0 $(umask) signed=false" \
    "LIGHT_REQUIRE_SIGNING=true|1" "LIGHT_REQUIRE_SIGNING=true LIGHT_SIGN_PFX_BASE64=a2V5|0 $(umask) signed=true" \
    "LIGHT_SIGN_PKCS11_MODULE=/token.so LIGHT_SIGN_PIN=#:#:#|1"; do
    rm -f "$work/output" "$work/umask"
    # shellcheck disable=SC2086  # one variable or two
    env ${row%|*} GITHUB_OUTPUT="$work/output" "$package" bash -c 'umask >"$0"' "$work/umask" >/dev/null
    outcome=$(cat "$work/umask" "$work/output" 2>/dev/null | xargs echo "$?")
    check "package-release with ${row%|*}: $outcome" test "$outcome" = "${row#*|}"
done

# The step that installs a PKCS#11 module from its maker: only the file its SHA-256 names, named
# by the address's path, whatever its query holds.
module=$work/module/p11.so
printf module >"$work/p11.so"
for row in "$(printf other | sha256sum)|1/" "$(sha256sum <"$work/p11.so")|0/module"; do
    LIGHT_SIGN_PKCS11_MODULE=$module LIGHT_SIGN_PKCS11_MODULE_URL="file://$work/p11.so?at=/" \
        LIGHT_SIGN_PKCS11_MODULE_SHA256=${row:0:64} "$source/.github/scripts/install-pkcs11-module" >/dev/null 2>&1
    check "a PKCS#11 module downloaded: ${row#*|}" test "$?/$(cat "$module" 2>/dev/null)" = "${row#*|}"
done

# A container job's workspace belongs to another user: dev stops where git refuses to read its
# history, which dates the build, and goes on once the job's own step has named it safe.
git init -q "$work/clone" && git -C "$work/clone" -c user.name=light -c user.email=light@localhost \
    commit -q --allow-empty -m dated && cp "$source/dev" "$work/clone" &&
    chown "$((UID + 1))" "$work/clone" && mkdir "$work/home"
dated() { HOME=$work/home "$work/clone/dev" 2>&1 | grep "^dev: " | head -n 1; }
check "dev stops where git refuses the history: $(dated)" grep -q "^dev: git cannot read" <<<"$(dated)"
HOME=$work/home GITHUB_WORKSPACE=$work/clone bash -c "$(python3 -c 'import sys, yaml
print(next(step["run"] for step in yaml.safe_load(open(sys.argv[1]))["jobs"]["test"]["steps"]
           if "safe.directory" in step.get("run", "")))' "$source/.github/workflows/release.yml")"
check "and goes on once the test job's step has named it safe" test "$(dated)" = "dev: no command given"
[ ! -e "$source/.git" ] || check "no tracked file is one that .gitignore ignores" \
    test -z "$(git -C "$source" ls-files -ci --exclude-standard)"

# What build gathers and lists, and the check attest and release make of it before anything else.
mkdir -p "$work/build/winget/manifests" && (cd "$work/build" && touch light-1-win64-setup.exe light-1-win64.msi \
    light-1-win64.zip light-1.buildinfo light-1.cdx.json SHA256SUMS release-notes.md winget/manifests/m.yaml)
GITHUB_OUTPUT=$work/digests "$source/.github/scripts/release-files" "$work/build" 1 "$work/release"
step=$(python3 -c 'import sys, yaml; print(next(step["run"] for step in yaml.safe_load(open(sys.argv[1]))
    ["jobs"]["attest"]["steps"] if step.get("working-directory") == "release"))' "$source/.github/workflows/release.yml")
for change in ":|0" "echo >>light-1-win64.msi|1" "touch more|1" "rm SHA256SUMS|1" "rm -r -- * && digests=|1"; do
    rm -rf "$work/files" && cp -R "$work/release" "$work/files" && digests=$(sed '1d;$d' "$work/digests")
    (cd "$work/files" && eval "${change%|*}" && DIGESTS=$digests bash -eo pipefail -c "$step" >/dev/null 2>&1)
    check "build's 8 files listed, then checked after: ${change%|*}" test "$?/$(grep -c '  ' "$work/digests")" = "${change#*|}/8"
done
# Which build hands on as its outputs, in characters that hold no secret, and the later jobs read.
digests=$(sed '1d;$d' "$work/digests") && rm -f "$work/output"
GITHUB_OUTPUT=$work/encoded "$source/.github/scripts/job-outputs" put digests "$digests" &&
    GITHUB_OUTPUT=$work/output "$source/.github/scripts/job-outputs" get digests "$(sed -n 's/^digests=//p' "$work/encoded")"
check "build's digests handed on without a letter or digit, and read back whole" test \
    "$(sed -n 's/^digests=//p' "$work/encoded" | grep -c '[[:alnum:]]')/$(sed '1d;$d' "$work/output")" = "0/$digests"
said=$(python3 "$(dirname "$0")/support/github_standin.py" "$source/.github/scripts" 2>&1)
check "publishing, against a stand-in GitHub: $said" test "$?" = 0
msi=$(find "$2" -maxdepth 1 -name 'light-*-win64.msi' | head -n 1)  # where the build made one
code() { msiinfo export "$msi" Property | tr -d '\r' | sed -n "s/^$1\t//p"; }
[ -z "$msi" ] || check "the release notes name the MSI's product code, then its upgrade code" test \
    "$(code ProductCode) $(code UpgradeCode)" = "$("$source/.github/scripts/msi-codes" "$msi" | grep -o '{[0-9A-F-]*}' | xargs)"

version=$(sed -n 's/^project(light VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
released=$(sed -n 's/^## \[\([0-9][^]]*\)\] - .*/\1/p' "$source/CHANGELOG.md" | head -n 1)
notes() { "$source/installer/release-notes" "$@" 2>&1; }
keeps_a_changelog() {
    grep -qF '(https://keepachangelog.com/en/1.1.0/)' "$1" && grep -qx '## \[Unreleased\]' "$1" &&
        grep -qx "\[$released\]: .*/releases/tag/v$released" "$1"
}
check "CHANGELOG.md follows Keep a Changelog 1.1.0" keeps_a_changelog "$source/CHANGELOG.md"
# The release of v$version, as it will be made: the changelog's Unreleased section becomes it.
cp "$source/CMakeLists.txt" "$source/CHANGELOG.md" "$work"
[ "$released" = "$version" ] ||
    sed -i "s/^## \[Unreleased\]$/&\n\n## [$version] - 2026-12-08/" "$work/CHANGELOG.md"
# Its notes are its entry alone, which ends where the entry of the version before it begins.
released_notes=$(notes "v$version" "$work")
check "v$version's notes are its changelog entry alone, in Keep a Changelog's form" \
    test "$(grep -c '^## ' <<<"$released_notes")/$(grep -c '^### Added$' <<<"$released_notes")" = 0/1
check "a tag other than v$version is refused" grep -q "the tag v0.0.1 is not v$version" \
    <<<"$(notes v0.0.1 "$work")"
sed -i "s/^## \[$version\]/## [9.9.9]/" "$work/CHANGELOG.md"
check "and so is a changelog whose newest entry is another version" \
    grep -q "the newest version in CHANGELOG.md is 9.9.9, not $version" <<<"$(notes "v$version" "$work")"
finish "the workflows: valid, building as the README says, releasing only what agrees"
