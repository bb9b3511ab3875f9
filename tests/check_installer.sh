#!/usr/bin/env bash
# The installer as administrators deploy it, in a Wine prefix of its own: refusals, failures that
# are undone, installs whatever the folder is called, a long PATH kept byte for byte, upgrades, a
# downgrade, logs that hold what was said, another product's Apps entry left alone, a run that
# waits for another installation of Light, and what the winget manifest claims of it. Moving to
# another folder, uninstalling, and the system PATH as a new prompt sees it are
# check_installer_path.sh's.
# Usage: check_installer.sh <build folder> <installer> <older installer: it waits 2 s, for its
#                           /BRIGHTNESS= run and for another installation> <winget manifest folder>
# shellcheck disable=SC2317,SC2154  # functions only `check` calls; names from support/installer.sh
set -uo pipefail
here=$(dirname "$0")
build=$1
setup=$2
older=$3
manifest=$4/Orvane.Light.installer.yaml
. "$here/support/check.sh"
. "$here/support/installer.sh"
start_prefix
clean
# What the installer manifest claims, read once: each field (Field.Key in a mapping), and the
# exit code it names for each of winget's responses, as code:<response>.
declare -A claimed
while IFS='=' read -r field value; do claimed[$field]=$value; done < <(python3 -c 'import sys, yaml
manifest = yaml.safe_load(open(sys.argv[1]))
for field, value in manifest.items():
    for key, item in value.items() if isinstance(value, dict) else [(None, value)]:
        print(field + ("." + key if key else "") + "=" + str(item))
for code in manifest["ExpectedReturnCodes"]:
    print("code:" + code["ReturnResponse"] + "=" + str(code["InstallerReturnCode"]))' "$manifest")
# The exit code the installer was seen to return for each of winget's responses.
declare -A returned

check "installer names Orvane in its version information" test "$(company_of "$setup")" = Orvane
icon_sizes() { wrestool -l -t3 "$1" | grep -o 'size=[0-9]*' | sort; }
check "installer shows the program's icon" test "$(icon_sizes "$setup")" = \
    "$(icon_sizes "$build/bin/light.exe")"

said=$(win "$build/bin/cancel_setup.exe" "$(windows_path "$setup")")
returned[cancelledByUser]=$?
check "cancelled on its first page: exit code ${returned[cancelledByUser]}, nothing installed$said" \
    test "${returned[cancelledByUser]}/$(our_folders)" = 1/

set_system_path "$long_path"

# Refused before anything changes: exit code 2, or 3 for an older version over a newer one. The
# helper's rules, which decide each refusal, have their own tables; these take each way through
# the installer to them: a mistyped switch, a brightness, two folders. The log's switch is
# quoted whole, as PowerShell's call operator passes one that holds a space.
mkdir -p "$drive/Program Files/Foreign"
for refusal in "/BRIGTHNESS=40" "/BRIGHTNESS=abc" '/D=C:\Program Files\Foreign' \
    '/D=C:\Users\Public\Light' '/D=C:\Program Files\Light.'; do
    said=$(install "$setup" "\"$(log 'refused log.log')\" $refusal")
    returned[invalidParameter]=$?
    check "$refusal refused with exit code 2" test "${returned[invalidParameter]}" = 2
    check "$refusal: and says why: $said" grep -qF -- "${refusal#*=}" <<<"$said"
    check "$refusal changes nothing" test "$(our_folders)" = "$drive/Program Files/Foreign"
    all_said+="$said"$'\n'
done
rmdir "$drive/Program Files/Foreign"
check "the log of the refusals holds what they said: $(cat "$work/refused log.log")" \
    logged "refused log.log" setup "${all_said%$'\n'}"
check "refusals remember no brightness and leave the PATH" \
    test "$(stored)/$(system_path)" = "/$(expandable "$long_path")"

# A first installation whose task can be neither registered nor deleted leaves nothing behind but
# its folder, empty, and the value that names it, for the next run to undo.
target='C:\Program Files\R&D Light'
folder=$(folder_of "$target")
mkdir "$task_file"
said=$(install "$setup" "$(log failed.log) /D=$target")
check "failed task registration: exit code 4" test $? = 4
check "says which step failed, and that it was undone" grep -qzE \
    "Could not register the scheduled task.*was undone" <<<"$said"
check "and its log holds that: $(cat "$work/failed.log")" logged failed.log setup "$said"
rmdir "$task_file"
check "a failed first installation leaves nothing but its folder, named" test \
    "$(our_folders)/$(ls "$folder")/$(value "$apps" DisplayName --text "$unfinished" InstallingInto | paste -sd/)" = "$folder///$target"
check "and the PATH as it was" test "$(system_path)" = "$(expandable "$long_path")"

# Under the legacy key, Orvane's name on a folder that is not ours: never uninstalled, nor read.
foreign "Not ours" Orvane uninstall.exe
# What a first installation cut short (by a deployment tool, say) may leave besides: part of its
# files, one held open a while, its light.exe still running. The next run ends with 4 while the
# file is held, then ends and undoes it, and installs.
echo >"$folder/README.txt" && hold "$folder/README.txt"
install "$setup" "/D=$target" >/dev/null
outcome="$?/$(value "$unfinished" InstallingInto)"
release
check "a file of it held: ends with 4, the folder still named: $outcome" test "$outcome" = "4/$target"
cp "$build/bin/light.exe" "$folder"
hung_light "$folder" 30
said=$(run_line "$(windows_path "$setup") /s /brightness=40 /d=$target")
outcome="$?/$(stored)/$(firmware)/$(value "$unfinished" InstallingInto)/$(grep -cF "An installation into $target was cut short" <<<"$said")"
wait
check "silent install into the folder a run cut short left, switches in small letters, \
/brightness=40: exit code, remembered, firmware, the folder no longer unfinished, the undoing said: $outcome" \
    test "$outcome" = 0/0x28/40//1
check "and the other entry's uninstaller never ran" foreign_intact
check "installs its six files" test "$(cd "$folder" && printf '%s ' *)" = \
    "LICENSE.txt README.txt THIRD-PARTY-NOTICES.txt light.exe setup-helper.exe uninstall.exe "
check "its definition runs $target\\light.exe" runs_installed "$target"
check "puts the folder on the PATH once, the rest as it was" \
    test "$(system_path)" = "$(expandable "$long_path;$target")"
check "Apps entry" test "$(value "$apps" "${apps_entry[@]}" | tr '\n' '|')" = "Light|$version|Orvane|\
$target\\light.exe,0|$target|\"$target\\uninstall.exe\"|\"$target\\setup-helper.exe\" uninstall|\
0x1|0x1|$target|"
check "Apps entry: its size" grep -qE '^0x[0-9a-f]{3,}$' <<<"$(value "$apps" EstimatedSize)"
# For the manifest's claims: where it installs, and the command a new prompt then finds.
scope=$(value "$apps" InstallLocation)
[[ $scope == 'C:\Program Files\'* ]] && scope=machine
commands=$([ -f "$folder/light.exe" ] && [ "$(system_path)" = "$(expandable "$long_path;$target")" ] &&
    echo light)
before=$(snapshot)
said=$(run_line "\"$target\\setup-helper.exe\" uninstall /quiet")
check "an uninstall option it does not take: refused with exit code 2, and says so" \
    test "$?/$said" = "2/setup-helper uninstall takes no option but /LOG=<file>, not '/quiet': \
nothing was changed."$'\r'
check "and changes nothing" test "$(snapshot)" = "$before"

: >"$work/firmware"
run_line "\"$target\\light.exe\""
check "the task's command sets the remembered brightness" test "$?/$(firmware)" = 0/40

# Upgrades that fail leave the earlier installation exactly as it was, and still uninstallable.
before=$(snapshot)
hold "$task_file"
install "$setup"
check "failed task registration on upgrade: exit code 4" test $? = 4
release
check "and the earlier installation as it was" test "$(snapshot)" = "$before"
hold "$folder/README.txt"
said=$(install "$setup")
returned[fileInUse]=$?
check "a file held open on upgrade: exit code 4" test "${returned[fileInUse]}" = 4
check "says which file" grep -qF 'Could not replace C:\Program Files\R&D Light\README.txt' <<<"$said"
release
check "and the earlier installation as it was" test "$(snapshot)" = "$before"

install "$older"
returned[downgrade]=$?
check "an older version is refused: exit code 3" test "${returned[downgrade]}" = 3
check "and changes nothing" test "$(snapshot)" = "$before"
# A firmware that never answers: the older installer's 2 s limit ends light.exe.
started=$SECONDS
said=$(LIGHT_STANDIN_FAULTS=exec-hang:5 install "$older" "/DOWNGRADE /BRIGHTNESS=30")
outcome="$?/$(stored)/$(value "$apps" DisplayVersion)"
check "/DOWNGRADE installs it, with a hung /BRIGHTNESS ended and remembered: $outcome" \
    test "$outcome" = 0/0x1e/0.9.0
check "and says so" grep -qF 'light.exe did not finish in time' <<<"$said"
check "within the limit" test $((SECONDS - started)) -lt 15
check "and no light.exe left running" test "$(running_here 'light\.exe')" = ""

check "the other product's entry is still there, as it was" foreign_intact

# That older version as 1.0.0 registered itself, under the legacy key. Newer over it, with a
# firmware that refuses the new brightness: installed, remembered, and one entry, the new one.
win reg delete "HKLM\\$legacy" /f /reg:64 >/dev/null 2>&1 && rm -r "$drive/Other"
win reg copy "HKLM\\$apps" "HKLM\\$legacy" /f /reg:64 >/dev/null 2>&1 &&
    win reg delete "HKLM\\$apps" /f /reg:64 >/dev/null 2>&1
LIGHT_STANDIN_FAULTS=exec-fail:5 install "$setup" "/BRIGHTNESS=70"
outcome="$?/$(stored)/$(value "$apps" DisplayVersion InstallLocation PathEntry | tr '\n' /)"
check "newer over legacy older, firmware refusing /BRIGHTNESS=70: $outcome" \
    test "$outcome" = "0/0x46/$version/$target/$target/"
check "and the legacy entry is gone" test -z "$(value "$legacy" DisplayName)"
upgraded=$(value "$apps" DisplayVersion)
# The key the manifest's product code names holds the installer's entry.
product=${claimed[ProductCode]}
[ "$(value "${apps%\\*}\\$product" DisplayName Publisher | tr '\n' ' ')" = "Light Orvane " ] ||
    product="not the key of its entry"
# One installation at a time: while another holds the lock (a test program here), a run that cannot
# wait long enough, the older installer's, ends with 4, changing nothing; this one waits, and
# goes on once the other has ended. With winget's log switch, a log path with spaces put in as
# winget does.
hold "$lock"
before=$(snapshot)
said=$(install "$older" /DOWNGRADE)
check "a run that gave up waiting for another installation ends with 4, changing nothing" \
    test "$?/$(snapshot)" = "4/$before"
check "and says why: $said" grep -qF "Another installation of Light is running, and did not end in time" <<<"$said"
: >"$work/firmware"
mkdir "$work/winget logs"
(install "$setup" "$(sed "s|<LOGPATH>|$(windows_path \
    "$work/winget logs/setup.log" | sed 's/\\/\\\\/g')|" <<<"${claimed[InstallerSwitches.Log]}")" \
    >"$work/said"; echo $? >"$work/exit") &
# Released once it says it waits, however long a loaded machine takes to start it.
for _ in $(seq 300); do
    grep -q 'waiting for it to end' "$work/said" && break
    sleep 0.1
done
waiting=$([ -f "$work/exit" ] || echo still)
release
said=$(cat "$work/said")
check "a run that waited for another installation goes on once it ended: ${said%%$'\r'*}" \
    test "$waiting/${said%%$'\r'*}" = "still/Another installation of Light is running: waiting for it to end."
outcome="$(cat "$work/exit")/$(stored)/$(firmware)/$(value "$apps" InstallLocation)"
check "the same version again keeps folder and brightness, firmware untouched: $outcome" \
    test "$outcome" = "0/0x46//$target"
check "and its log, named as winget names it, holds what it said" \
    logged "winget logs/setup.log" setup "$said"
check "and the PATH holds the folder once" test "$(system_path)" = "$(expandable "$long_path;$target")"

# What the winget manifest claims, against what the installer was seen to do.
case $(wrestool -x --raw -t24 -n1 "$setup" | grep -o 'level="[A-Za-z]*"') in
    'level="requireAdministrator"') elevation=elevationRequired ;;
    *) elevation="not asked for" ;;
esac
for row in "Scope|$scope" "ElevationRequirement|$elevation" "ProductCode|$product" \
    "UpgradeBehavior|$([ "$upgraded" = "$version" ] && echo install)" "Commands|['$commands']"; do
    check "the manifest's ${row%%|*} is ${claimed[${row%%|*}]}, what the installer does: ${row#*|}" \
        test "${claimed[${row%%|*}]}" = "${row#*|}"
done
for response in "${!claimed[@]}"; do
    [[ $response == code:* ]] && check "the manifest's exit code for ${response#code:} is \
${claimed[$response]}, the installer's" test "${claimed[$response]}" = "${returned[${response#code:}]:-none seen}"
done
finish "installer: refuses, fails whole, installs, upgrades, moves, uninstalls and logs as it should"
