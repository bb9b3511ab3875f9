#!/usr/bin/env bash
# What a Windows user downloads: a ZIP of light.exe, its guide, the licence and notices, the
# deployment scripts and the task definition, which runs light.exe as SYSTEM at logon and on wake,
# and in it a stripped 64-bit console program with ASLR and DEP that imports only Windows' own
# DLLs and carries its icon, manifest and version information.
# Usage: check_shipped.sh <build folder> <package name>
# shellcheck disable=SC2317  # functions that only `check` calls
set -uo pipefail
build=$1
package=$2
. "$(dirname "$0")/support/check.sh"
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
(cd "$build" && cpack -G ZIP >/dev/null) || exit 1
(cd "$unpacked" && cmake -E tar xf "$build/$package.zip") || exit 1
check "the ZIP holds light.exe, README.txt, LICENSE, the notices, light-task.xml and the deployment scripts" \
    test "$(cd "$unpacked" && find . -type f | sort | tr '\n' ' ')" = "./$package/LICENSE \
./$package/README.txt ./$package/THIRD-PARTY-NOTICES.txt ./$package/deploy/detect-brightness.ps1 ./$package/deploy/light-installation.cmd \
./$package/deploy/set-brightness.ps1 ./$package/light-task.xml ./$package/light.exe "
exe=$unpacked/$package/light.exe
xml=$unpacked/$package/light-task.xml
check "its task definition is what the Task Scheduler's schema allows" xmllint --noout --schema \
    "$(dirname "$0")/task_definition.xsd" "$xml"
definition=$(iconv -f UTF-16 -t UTF-8 "$xml" | sed 's/ xmlns="[^"]*"//; s/"UTF-16"/"UTF-8"/')
xpath() { xmllint --xpath "$1" - <<<"$definition" 2>/dev/null; }
subscriptions=$(for index in 1 2 3; do
    query=$(xpath "string(//EventTrigger[$index]/Subscription)")
    xmllint --noout - <<<"$query" && echo "$query $(xpath "string(//EventTrigger[$index]/Delay)")"
done)
has_event() { grep -qF "[@Name='$1'] and EventID=$2]]</Select></Query></QueryList> PT5S" <<<"$subscriptions"; }
# The schema allows no arguments, and holds the action's context to the principal.
for fact in "$(xpath 'string(//Exec/Command)')|\"C:\Program Files\Light\light.exe\"" \
    "$(xpath 'string(//Principal/UserId)') $(xpath 'string(//Principal/RunLevel)')|S-1-5-18 HighestAvailable" \
    "$(xpath '//LogonTrigger/Delay/text()' | tr '\n' ' ')$(xpath 'count(//LogonTrigger/UserId)')|PT10S PT2M 0" \
    "$(xpath 'string(//MultipleInstancesPolicy)')|IgnoreNew" \
    "$(xpath 'string(//DisallowStartIfOnBatteries)') $(xpath 'string(//StopIfGoingOnBatteries)')|false false" \
    "$(xpath 'string(//Settings/ExecutionTimeLimit)')|PT1M"; do
    check "definition: ${fact%%|*}" test "${fact%%|*}" = "${fact#*|}"
done
check "resume from sleep or hibernation, as logged" has_event Microsoft-Windows-Power-Troubleshooter 1
check "resume from sleep, as the kernel logs it" has_event Microsoft-Windows-Kernel-Power 107
check "leaving Modern Standby" has_event Microsoft-Windows-Kernel-Power 507

headers=$(x86_64-w64-mingw32-objdump -p "$exe")
has() { grep -qE "$1" <<<"$headers"; }
check "x86-64 image" has 'file format pei-x86-64'
check "console subsystem" has '^Subsystem\s+00000003'
for flag in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT 'symbols stripped'; do
    check "$flag" has "^\s+$flag$"
done
for dll in $(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr '[:upper:]' '[:lower:]'); do
    check "imports $dll, which Windows lacks" \
        grep -qxE 'kernel32|advapi32|ole32|oleaut32|msvcrt|ucrtbase|api-ms-win-crt-.*' <<<"${dll%.dll}"
done

resource() { wrestool -x --raw "$@" "$exe"; }
# The icon group's entries: width, height, colours, reserved, planes (2), bits (2), size (4), id (2).
# The 256-pixel image is a PNG, the others are 32-bit bitmaps (a 40-byte header first).
icons=$(resource -t14 -n101 | od -An -v -tu1 -w14 -j6 | while read -r width _ _ _ _ _ bits _ _ _ _ _ id _; do
    echo "$width/$bits/$(resource -t3 -n"$id" | head -c 4 | od -An -tx1 | tr -d ' ')"
done | tr '\n' ' ')
check "icon 101 in seven sizes" test "$icons" = "16/32/28000000 24/32/28000000 32/32/28000000 \
48/32/28000000 64/32/28000000 128/32/28000000 0/32/89504e47 "
check "manifest asks for asInvoker without UI access" grep -q \
    '<requestedExecutionLevel level="asInvoker" uiAccess="false"/>' <(resource -t24 -n1)
check "version information names Orvane" test "$(company_of "$exe")" = Orvane
finish "$package.zip: as shipped"
