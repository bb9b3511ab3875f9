#!/usr/bin/env bash
# The installer in the Wine prefix, as administrators deploy it: refusals that change nothing,
# failures that undo a first installation or leave an earlier one as it was, a silent install
# into "R&D Light" whose task definition is checked against the Task Scheduler's schema, a long
# PATH kept byte for byte, upgrades, a downgrade, a move, and a silent uninstall that waits.
# Usage: check_installer.sh <build folder> <installer> <older installer, 2 s /BRIGHTNESS limit>
# shellcheck disable=SC2317,SC2154  # functions only `check` calls; names from support/installer.sh
set -uo pipefail
here=$(dirname "$0")
build=$1
setup=$2
older=$3
. "$here/support/check.sh"
. "$here/support/installer.sh"
firmware=$(mktemp)
LIGHT_STANDIN_STATE=$(windows_path "$firmware")
export LIGHT_STANDIN_STATE
"$build/wine-prefix" up || exit 1
trap 'clean; rm -f "$firmware"; "$build/wine-prefix" down' EXIT
win net start schedule >/dev/null 2>&1
clean

check "installer asks for administrator rights" grep -q 'level="requireAdministrator"' \
    <(wrestool -x --raw -t24 -n1 "$setup")
check "installer names Orvane in its version information" grep -qa 'CompanyName.*Orvane' \
    <(wrestool -x --raw -t16 -n1 "$setup" | tr -d '\0')
icon_sizes() { wrestool -l -t3 "$1" | grep -o 'size=[0-9]*' | sort; }
check "installer shows the program's icon" test "$(icon_sizes "$setup")" = \
    "$(icon_sizes "$build/bin/light.exe")"

# A PATH of over 4,000 characters, which no NSIS string holds, that must come back byte for byte.
long_path=$stock_path
for index in $(seq 90); do long_path+=";C:\\Program Files (x86)\\Vendor  Suite\\Part $index\\bin"; done
set_system_path "$long_path"

# Refused before anything changes: exit code 2, or 3 for an older version over a newer one.
mkdir -p "$drive/Program Files/Foreign"
for refusal in "/BRIGHTNESS=abc" "/BRIGHTNESS=101" "/BRIGHTNESS=-1" '/D=C:\Users\Public\Light' \
    '/D=C:\Program Files\..\Users\Public\Light' '/D=C:\Program Files\Orvane\Light' \
    '/D=C:\Program Files\Foreign' '/D=C:\Program Files\Light.'; do
    said=$(install "$setup" "$refusal")
    check "$refusal refused with exit code 2" test $? = 2
    check "$refusal: and says why: $said" grep -qF -- "${refusal#*=}" <<<"$said"
    check "$refusal changes nothing" test "$(our_folders)" = "$drive/Program Files/Foreign"
done
rmdir "$drive/Program Files/Foreign"
check "refusals remember no brightness and leave the PATH" test "$(stored)/$(system_path)" = "/$long_path"

# A first installation whose task cannot be registered leaves nothing behind.
target='C:\Program Files\R&D Light'
folder=$(folder_of "$target")
mkdir "$task_file"
said=$(install "$setup" "/D=$target")
check "failed task registration: exit code 4" test $? = 4
check "says which step failed, and that it was undone" grep -qzE \
    "Could not register the scheduled task.*was undone" <<<"$said"
rmdir "$task_file"
check "a failed first installation leaves nothing" nothing_installed
check "and the PATH as it was" test "$(system_path)" = "$long_path"

install "$setup" "/BRIGHTNESS=40 /D=$target"
outcome="$?/$(stored)/$(cat "$firmware")"
check "silent install with /BRIGHTNESS=40: exit code, remembered, firmware: $outcome" \
    test "$outcome" = 0/0x28/40
check "installs its six files" test "$(cd "$folder" && printf '%s ' *)" = \
    "LICENSE.txt README.txt light-task.xml light.exe setup-helper.exe uninstall.exe "
check "registers the task" grep -qa 'light.exe again at logon' <(tr -d '\0' <"$task_file")
check "puts the folder on the PATH once, the rest as it was" \
    test "$(system_path)" = "$long_path;$target"

xml=$folder/light-task.xml
check "the definition is what the Task Scheduler's schema allows" \
    xmllint --noout --schema "$here/task_definition.xsd" "$xml"
definition=$(iconv -f UTF-16 -t UTF-8 "$xml" | sed 's/ xmlns="[^"]*"//; s/"UTF-16"/"UTF-8"/')
xpath() { xmllint --xpath "$1" - <<<"$definition" 2>/dev/null; }
subscriptions=$(for index in 1 2 3; do
    query=$(xpath "string(//EventTrigger[$index]/Subscription)")
    xmllint --noout - <<<"$query" && echo "$query $(xpath "string(//EventTrigger[$index]/Delay)")"
done)
has_event() { grep -qF "[@Name='$1'] and EventID=$2]]</Select></Query></QueryList> PT5S" <<<"$subscriptions"; }
command=$(xpath 'string(//Exec/Command)')
# The schema allows no arguments, and holds the action's context to the principal.
for fact in "$command|\"$target\\light.exe\"" \
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

for name in DisplayName DisplayVersion Publisher DisplayIcon InstallLocation UninstallString \
    QuietUninstallString NoModify NoRepair; do
    entry+="$name=$(value "$apps" "$name");"
done
check "Apps entry" test "$entry" = "DisplayName=Light;DisplayVersion=1.0.0;Publisher=Orvane;\
DisplayIcon=$target\\light.exe,0;InstallLocation=$target;UninstallString=\"$target\\uninstall.exe\";\
QuietUninstallString=\"$target\\setup-helper.exe\" uninstall;NoModify=0x1;NoRepair=0x1;"
check "Apps entry: size" grep -qE '^0x[0-9a-f]{3,}$' <<<"$(value "$apps" EstimatedSize)"

: >"$firmware"
run_line "$command"
check "the task's command sets the remembered brightness" test "$?/$(cat "$firmware")" = 0/40

# Upgrades that fail leave the earlier installation exactly as it was, and still uninstallable.
before=$(snapshot)
hold "$task_file"
install "$setup"
check "failed task registration on upgrade: exit code 4" test $? = 4
release
check "and the earlier installation as it was" test "$(snapshot)" = "$before"
hold "$folder/README.txt"
said=$(install "$setup")
check "a file held open on upgrade: exit code 4" test $? = 4
check "says which file" grep -qF 'Could not replace C:\Program Files\R&D Light\README.txt' <<<"$said"
release
check "and the earlier installation as it was" test "$(snapshot)" = "$before"

install "$older"
check "an older version is refused: exit code 3" test $? = 3
check "and changes nothing" test "$(snapshot)" = "$before"
# A firmware that never answers: the older installer's 2 s limit ends light.exe.
started=$SECONDS
said=$(LIGHT_STANDIN_FAULTS=exec-hang:5 install "$older" "/DOWNGRADE /BRIGHTNESS=30")
outcome="$?/$(stored)/$(value "$apps" DisplayVersion)"
check "/DOWNGRADE installs it, with a hung /BRIGHTNESS ended and remembered: $outcome" \
    test "$outcome" = 0/0x1e/0.9.0
check "and says so" grep -qF 'light.exe did not finish in time' <<<"$said"
check "within the limit" test $((SECONDS - started)) -lt 15
check "and no light.exe left running" test -z "$(pgrep --runstates RSD -f 'light\.exe')"

# Newer over older, with a firmware that refuses the new brightness: installed, and remembered.
LIGHT_STANDIN_FAULTS=exec-fail:5 install "$setup" "/BRIGHTNESS=70"
outcome="$?/$(stored)/$(value "$apps" DisplayVersion)"
check "newer over older, firmware refusing /BRIGHTNESS=70: $outcome" test "$outcome" = 0/0x46/1.0.0
: >"$firmware"
install "$setup"
outcome="$?/$(stored)/$(cat "$firmware")/$(value "$apps" InstallLocation)"
check "the same version again keeps folder and brightness, firmware untouched: $outcome" \
    test "$outcome" = "0/0x46//$target"
check "and the PATH holds the folder once" test "$(system_path)" = "$long_path;$target"

moved='C:\Program Files\Light Moved'
install "$setup" "/D=$moved"
check "another folder: exit code 0" test $? = 0
check "the earlier installation is gone" test "$(our_folders)" = "$(folder_of "$moved")"
check "one task" test "$(ls "$tasks")" = "Light brightness"
check "registered for the new folder's light.exe" grep -qF "<Command>\"$moved\\light.exe\"</Command>" \
    <(iconv -f UTF-16 -t UTF-8 "$(folder_of "$moved")/light-task.xml")
check "one Apps entry, for the new folder" test "$(value "$apps" InstallLocation)" = "$moved"
check "the PATH names the new folder only" test "$(system_path)" = "$long_path;$moved"

uninstall=$(value "$apps" QuietUninstallString)
hold "$(folder_of "$moved")/README.txt"
said=$(run_line "$uninstall")
check "silent uninstall with a file held open fails: exit code 2" test $? = 2
check "and says which file" grep -qF 'Could not delete C:\Program Files\Light Moved\README.txt' <<<"$said"
release
check "and stays in Apps, to be run again" test -n "$(value "$apps" DisplayName)"
run_line "$uninstall"
check "silent uninstall: exit code 0" test $? = 0
check "returns when folder, task and Apps entry are gone" nothing_installed
check "and the PATH as it was, byte for byte" test "$(system_path)" = "$long_path"
check "and keeps the remembered brightness" test "$(stored)" = 0x46

# With Wine's own PATH, which Wine hands new programs whole (it cuts a long one short): /NOPATH
# leaves it; installing again without puts light on it for a new prompt. A folder on it already,
# in other letters and with a backslash, is neither added again nor taken off.
set_system_path "$stock_path"
install "$setup" "/NOPATH"
check "/NOPATH: installed, the PATH as it was" test "$?/$(system_path)" = "0/$stock_path"
install "$setup"
check "installed again: the folder on the PATH" test "$(system_path)" = "$stock_path;C:\\Program Files\\Light"
win cmd /c light 50
check "a new prompt finds light on the PATH" test "$?/$(cat "$firmware")" = 0/50
run_line "$(value "$apps" QuietUninstallString)"
check "uninstalled, the PATH as it was" test "$?/$(system_path)" = "0/$stock_path"
set_system_path "$stock_path;c:\\program files\\light\\"
install "$setup"
check "an entry already there is not added again" test "$(system_path)" = "$stock_path;c:\\program files\\light\\"
run_line "$(value "$apps" QuietUninstallString)"
check "nor taken off" test "$(system_path)" = "$stock_path;c:\\program files\\light\\"
finish "installer: refuses, fails whole, installs, upgrades, moves and uninstalls as it should"
