#!/usr/bin/env bash
# The installer in the Wine prefix, as an administrator deploys it: refusals that leave nothing
# behind, a silent install with /BRIGHTNESS (files, registered task, its definition, the Apps
# entry), the installed light.exe run as the task runs it, a reinstall over it, and a silent
# uninstall that leaves only the remembered brightness. Wine's Task Scheduler keeps no triggers,
# principal or command of a definition it registers, so those are read from the definition
# the installer registered, which it keeps beside light.exe. The first installation goes into
# a folder of its own choice inside Program Files, so that every path must follow it; cmd hands
# /D= over unquoted, as the installer requires.
# Usage: check_installer.sh <build folder> <installer>
set -uo pipefail
. "$(dirname "$0")/support/check.sh"
wine_run=$1/wine-run
setup=$2
drive=$1/wineprefix/drive_c
target='C:\Program Files\Orvane Light'
folder="$drive/Program Files/Orvane Light"
task="$drive/windows/system32/tasks/Light brightness"
apps='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Light'
settings='HKLM\SOFTWARE\Orvane\CalvexLighting'
# Every Windows program gets 30 s; one that hangs fails its check instead of the whole run.
run() { timeout 30 "$wine_run" "$@"; }
firmware=$(mktemp)
LIGHT_STANDIN_STATE=$(run winepath -w "$firmware")
export LIGHT_STANDIN_STATE
value() {  # registry key, value name: the data as `reg query` shows it
    run reg query "$1" /v "$2" /reg:64 2>/dev/null | tr -d '\r' |
        awk -v name="$2" '$1 == name { $1 = $2 = ""; sub(/^ +/, ""); print }'
}
stored() { value "$settings" Brightness; }
installed() { [ -e "$folder" ] || [ -e "$task" ] || [ -n "$(value "$apps" DisplayName)" ]; }
nothing_installed() { ! installed; }
# The prefix as this check found it, whatever happens: no installation, no remembered value.
clean() {
    # _?= runs the uninstaller in place and waits for it; like /D= it must reach it unquoted,
    # so the folder is left to word splitting.
    [ -f "$folder/uninstall.exe" ] && run "$folder/uninstall.exe" /S _?=$target
    rm -rf "$folder" "$drive/Program Files/Light" "$firmware"
    run schtasks /delete /tn "Light brightness" /f
    run reg delete "$apps" /f /reg:64
    run reg delete "$settings" /f /reg:64
} >/dev/null 2>&1
trap clean EXIT
run net start schedule >/dev/null 2>&1
clean

check "installer asks for administrator rights" grep -q 'level="requireAdministrator"' \
    <(wrestool -x --raw -t24 -n1 "$setup")
check "installer names Orvane in its version information" grep -qa 'CompanyName.*Orvane' \
    <(wrestool -x --raw -t16 -n1 "$setup" | tr -d '\0')
icon_sizes() { wrestool -l -t3 "$1" | grep -o 'size=[0-9]*' | sort; }
check "installer shows the program's icon" test "$(icon_sizes "$setup")" = \
    "$(icon_sizes "$(dirname "$setup")/bin/light.exe")"

# Refused before anything changes.
for option in /BRIGHTNESS=abc /BRIGHTNESS=101 /BRIGHTNESS=-1 '/D=C:\Users\Public\Light'; do
    run "$setup" /S "$option"
    check "$option refused with exit code 2" test $? = 2
    check "$option installs nothing" nothing_installed
done
check "refusals remember no brightness" test -z "$(stored)"

run cmd /c "$(run winepath -w "$setup") /S /BRIGHTNESS=40 /D=$target"
outcome="$?/$(stored)/$(cat "$firmware")"
check "silent install with /BRIGHTNESS=40: exit code, remembered, firmware: $outcome" \
    test "$outcome" = 0/0x28/40
for file in light.exe README.txt LICENSE.txt light-task.xml uninstall.exe; do
    check "installs $file" test -f "$folder/$file"
done
check "registers the task" grep -qa 'light.exe again at logon' <(tr -d '\0' <"$task")

definition=$(iconv -f UTF-16 -t UTF-8 "$folder/light-task.xml" | tr -d '\r')
has() { grep -qE "$1" <<<"$definition"; }
lacks() { ! has "$1"; }
command=$(sed -n 's/^ *<Command>"\(.*\)"<\/Command>$/\1/p' <<<"$definition")
check "runs the installed light.exe" test "$command" = "$target\\light.exe"
check "runs it without arguments" lacks '<Arguments>'
check "runs as SYSTEM" has '^ *<UserId>S-1-5-18</UserId>$'
check "runs with the highest run level" has '^ *<RunLevel>HighestAvailable</RunLevel>$'
check "any user's logon" test "$(grep -A3 '<LogonTrigger>' <<<"$definition" | grep -c UserId)" = 0
check "resume from sleep or hibernation" has "Microsoft-Windows-Power-Troubleshooter'\] and EventID=1\]"
check "exit from Modern Standby" has "Microsoft-Windows-Kernel-Power'\] and EventID=507\]"
check "three triggers, each after a delay" test "$(grep -c '<Delay>PT[0-9]*S</Delay>' <<<"$definition")" = 3
check "starts on battery" has '<DisallowStartIfOnBatteries>false<'
check "keeps running on battery" has '<StopIfGoingOnBatteries>false<'
check "no second instance" has '<MultipleInstancesPolicy>IgnoreNew<'
check "a short time limit" has '<ExecutionTimeLimit>PT[0-9]+[SM]</ExecutionTimeLimit>'

for name in DisplayName DisplayVersion Publisher DisplayIcon InstallLocation UninstallString \
    QuietUninstallString NoModify NoRepair EstimatedSize; do
    entry+="$name=$(value "$apps" "$name");"
done
at=${target//\\//}  # slashes for backslashes, on both sides, to keep the pattern readable
check "Apps entry" grep -qxE "DisplayName=Light;DisplayVersion=[0-9.]+;Publisher=Orvane;\
DisplayIcon=$at/light.exe,0;InstallLocation=$at;UninstallString=\"$at/uninstall.exe\";\
QuietUninstallString=\"$at/uninstall.exe\" /S;NoModify=0x1;NoRepair=0x1;EstimatedSize=0x[0-9a-f]{3,};" \
    <<<"${entry//\\//}"

: >"$firmware"
run "$command"
check "the task's command sets the remembered brightness" test "$?/$(cat "$firmware")" = 0/40

# An upgrade with a firmware that refuses the new brightness still installs, and remembers it.
LIGHT_STANDIN_FAULTS=exec-fail:5 run "$setup" /S /BRIGHTNESS=70
outcome="$?/$(stored)"
check "install succeeds when the firmware refuses /BRIGHTNESS, and remembers it: $outcome" \
    test "$outcome" = 0/0x46
run "$setup" /S
outcome="$?/$(stored)/$(cat "$firmware")"
check "reinstall keeps the remembered brightness and leaves the firmware alone: $outcome" \
    test "$outcome" = 0/0x46/40
location=$(value "$apps" InstallLocation)
check "reinstall goes where the installed copy is: $location" test "$location" = "$target"
check "one task" test "$(ls "$(dirname "$task")" | grep -c '^Light')" = 1
check "one Apps entry" test "$(run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /reg:64 | grep -ci 'Uninstall\\Light')" = 1

# The uninstaller copies itself elsewhere and returns at once; its copy does the work.
run "$folder/uninstall.exe" /S
for _ in $(seq 100); do installed || break; sleep 0.2; done
check "silent uninstall removes folder, task and Apps entry" nothing_installed
check "and keeps the remembered brightness" test "$(stored)" = 0x46
finish "installer: installs, upgrades and uninstalls as it should"
