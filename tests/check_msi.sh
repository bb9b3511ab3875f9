#!/usr/bin/env bash
# The Windows Installer package as administrators deploy it, under Wine's msiexec /qn in a prefix
# of its own: each failed step undone as Windows would undo it; refusals, while another
# installation of Light runs too; installing, the same version again, upgrading an installation
# whose helper was deleted, downgrading, repairing, removing the feature and uninstalling, also
# where the PATH entry cannot come off; one installation per machine with the EXE installer, the
# two started at once, and the script that moves between them; a failed installation and the
# next try; a damaged installation repaired, and removed. With "rollback" after its arguments, in a
# prefix of its own beside the others, the rollback model alone (check_msi_rollback.py).
# Usage: check_msi.sh <build folder> <package> <older package, 0.9.0> <EXE installer> [rollback]
# shellcheck disable=SC2317,SC2154,SC2034  # `check` calls; support/installer.sh sets, reads names
set -uo pipefail
here=$(dirname "$0")
build=$1
package=$2
older=$3
setup=$4
prefix=wineprefix-msi${5:+-$5}
. "$here/support/check.sh"
. "$here/support/installer.sh"
msi() {  # msiexec's action, a package, then its properties; quiet
    win msiexec "$1" "$(windows_path "$2")" /qn "${@:3}"
}
logged() { msi "$@" /l*v "$(windows_path "$work/msi.log")"; }  # and logged to $work/msi.log
code_of() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'; }
entry() {  # a version's Apps entry: name/version/publisher/folder, or nothing
    local values
    values=$(value "${apps%\\*}\\$(code_of "$1")" DisplayName DisplayVersion Publisher \
        InstallLocation | paste -sd/)
    [ "$values" = /// ] || echo "$values"
}
record='SOFTWARE\Orvane\Light'
msi_clean() { win msiexec /x "$(code_of "$package")" /qn; win msiexec /x "$(code_of "$older")" /qn; clean; } >/dev/null 2>&1
start_prefix
msi_clean
# What an installation leaves, on one line; empty when it has left nothing. The registry is read
# in one run: the system PATH, the record, the EXE's Apps entry, then both versions' own.
left() {
    local read
    read=$(value --raw "$environment" Path --text "$record" PathEntry InstallFolder --text "$apps" \
        DisplayName --text "${apps%\\*}\\$(code_of "$package")" DisplayName --text \
        "${apps%\\*}\\$(code_of "$older")" DisplayName | paste -sd/)
    [ -z "$(our_folders)" ] && [ ! -e "$task_file" ] ||
        echo "folders: $(our_folders | tr '\n' ' ')task: $(ls "$tasks")"
    [ "$read" = "$(expandable "$stock_path")/////" ] || echo "registry: $read"
}
nothing_of_it() { test -z "$(left)"; }
if [ "${5:-}" = rollback ]; then
    said=$(python3 "$here/check_msi_rollback.py" "$package" "$build/wine-run" \
        "$(windows_path "$build/bin/registry_value.exe")" "$drive")
    check "each step that fails is undone whole, as Windows Installer rolls back: $said" test $? = 0
    finish "$said"
fi

# Refused before anything changes, as the EXE installer refuses the same; a folder refused is said
# in the log (Wine's msiexec does not log a launch condition's message, which Windows does).
# The helper's rules have their own tables; these take each way through the package to them, and
# a leading zero, which Windows Installer would read as a number.
for refusal in BRIGHTNESS=007 DISABLEROLLBACK=1 \
    'INSTALLDIR=C:\Users\Public\Light|is not a folder directly inside C:\Program Files.' \
    'INSTALLDIR=C:\Program Files\Light.|is not a folder the installer takes'; do
    folder=${refusal#INSTALLDIR=}
    # Logged where the log is read: Wine logs no launch condition's message.
    if [ "$folder" = "$refusal" ]; then msi /i "$package" "$refusal"; else logged /i "$package" "${refusal%|*}"; fi
    check "${refusal%|*} refused" test $? != 0
    check "${refusal%|*} changes nothing" nothing_of_it
    [ "$folder" = "$refusal" ] || check "${refusal%|*}: and says why" \
        grep -qaF "${folder%|*} ${refusal#*|}" "$work/msi.log"
done

target='C:\Program Files\R&D Light'
folder=$(folder_of "$target")
# While another installation of Light holds its lock (a test program here), the package refuses,
# changing nothing, and the same command succeeds once that has ended.
hold "$lock"
logged /i "$older" BRIGHTNESS=40 "INSTALLDIR=$target"
outcome="$(($? != 0))/$(left)"
release
check "refused while another installation of Light runs, changing nothing: $outcome" test "$outcome" = 1/
check "and says why" grep -qa "Another installation of Light is running" "$work/msi.log"
msi /i "$older" BRIGHTNESS=40 "INSTALLDIR=$target"
outcome="$?/$(stored)/$(firmware)/$(entry "$older")"
check "installs 0.9.0 with BRIGHTNESS=40 into a folder of its own: $outcome" \
    test "$outcome" = "0/0x28/40/Light/0.9.0/Orvane/$target\\"
check "its five files" test "$(cd "$folder" && printf '%s ' *)" = \
    "LICENSE.txt README.txt THIRD-PARTY-NOTICES.txt light.exe setup-helper.exe "
check "its task runs $target\\light.exe" runs_installed "$target"
check "its folder on the PATH once, and recorded" test "$(system_path)/$(value "$record" PathEntry)" = \
    "$(expandable "$stock_path;$target")/$target"

before=$(snapshot)
msi /i "$older" BRIGHTNESS=70
check "the same version again: nothing changes" test "$?/$(stored)/$(snapshot)" = "0/0x28/$before"
said=$(install "$setup")
check "the EXE installer refuses beside it: exit code 2" test $? = 2
check "and says how to remove it: $said" grep -qF "msiexec /x $(code_of "$older")" <<<"$said"
check "and changes nothing" test "$(snapshot)" = "$before"

: >"$work/firmware"
rm "$folder/setup-helper.exe"
win reg delete "HKLM\\$record" /v InstallFolder /f /reg:64 >/dev/null
msi /i "$package"
outcome="$?/$(entry "$package")/$(entry "$older")/$(firmware)"
check "$version replaces it, whose helper and folder's value were deleted: one Apps entry, firmware untouched: $outcome" \
    test "$outcome" = "0/Light/$version/Orvane/$target\\//"
check "in its folder" test "$(value "$record" InstallFolder)" = "$target\\"
check "whose task runs $target\\light.exe" runs_installed "$target"
check "and the PATH holds the folder once" test "$(system_path)" = "$(expandable "$stock_path;$target")"
before=$(snapshot)
msi /i "$older"
check "0.9.0 over it is refused" test $? != 0
check "and changes nothing" test "$(snapshot)" = "$before"

# A repair puts back the task and the PATH entry the installation had added; one that replaces
# every file ends a light.exe that the firmware holds up first, as a run at logon may be, rather
# than asking for a restart.
installed=$(snapshot)
win schtasks /delete /tn "Light brightness" /f >/dev/null && set_system_path "$stock_path"
LIGHT_STANDIN_FAULTS=exec-hang:5 win "$folder/light.exe" >/dev/null 2>&1 &
sleep 1
msi /i "$package" REINSTALL=ALL REINSTALLMODE=vamus
check "a repair puts back a deleted task and PATH entry, a running light.exe ended first" \
    test "$?/$(snapshot)/$(running_here 'light\.exe')" = "0/$installed/"
wait
# An uninstallation that cannot take the PATH entry off safely fails, and keeps the installation:
# its files and task (Wine, unlike Windows, drops the Apps entry all the same).
win reg add "HKLM\\$environment" /v Path /t REG_DWORD /d 7 /f /reg:64 >/dev/null
msi /x "$package"
outcome="$?/$(cd "$folder" && printf '%s ' *)/$(ls "$tasks")"
set_system_path "$stock_path;$target"
check "an uninstallation whose PATH entry cannot come off fails, and keeps the installation: \
$outcome" test "$outcome" = "91/LICENSE.txt README.txt THIRD-PARTY-NOTICES.txt light.exe setup-helper.exe /Light brightness"
msi /i "$package" REMOVE=Light
outcome="$?/$(left)/$(stored)"
check "removing the feature leaves nothing: $outcome" test "$outcome" = 0//0x28
msi /x "$package" >/dev/null

# One installation per machine, the other way round, and the script that moves a PC from one
# installer to the other, keeping the remembered brightness, whatever the names of folders and
# files: a removal that fails stops it. Its way to the EXE installer is the one the 3010 below
# takes.
# The EXE installer and the package started at once, while another installation of Light holds
# the lock: the package refuses, and the EXE installer waits, then installs once that has ended.
hold "$lock"
(install "$setup" "/BRIGHTNESS=50 /D=$target" >/dev/null; echo $? >"$work/exe") &
msi /i "$package"
outcome="$(($? != 0))/$(entry "$package")"
release
check "the package refuses while the EXE installer waits, and installs nothing: $outcome" test "$outcome" = 1/
check "which then installs" test "$(cat "$work/exe")/$(stored)/$(value "$apps" InstallLocation)" = "0/0x32/$target"
msi /i "$package"
outcome="$(($? != 0))/$(entry "$package")"
check "the package refuses beside it, and installs nothing: $outcome" test "$outcome" = 1/
moving() { win cmd /c "$(windows_path "$here/../deploy/light-installation.cmd")" "$@"; }
hold "$folder/README.txt"
moving install "$(windows_path "$package")" >/dev/null
outcome="$?/$(entry "$package")"
release
check "moving to the package stops where the EXE's uninstallation fails: $outcome" test "$outcome" = 4/
moving install "$(windows_path "$package")" "$(windows_path "$work/moving & more.log")" >/dev/null
outcome="$?/$(value "$apps" DisplayName)/$(entry "$package" | cut -d/ -f1)/$(stored)"
check "and moves it once it can, the brightness kept: $outcome" test "$outcome" = 0//Light/0x32
moving remove >/dev/null
outcome="$?/$(left)"
check "and removes whichever is there: $outcome" test "$outcome" = 0/
cp "$build/bin/leave_mark.exe" "$work/light-9-win64-setup.exe"
LIGHT_MARK_EXIT_CODE=3010 moving install "$(windows_path "$work/light-9-win64-setup.exe")" >/dev/null
check "a step that asks for a restart is said as 3010 (a shell sees its low byte)" test "$?/$(tr -d '\0' \
    <"$work/light-9-win64-setup.exe.ran" | grep -c ' /S')" = $((3010 % 256))/1

# A failed step undone is the rollback model's, the Windows check's, and above, an uninstallation's
# that cannot take its PATH entry off. Here, the default folder.
: >"$work/firmware"
msi /i "$package" BRIGHTNESS=60
check "installs into the default folder, with BRIGHTNESS=60" test "$?/$(stored)/$(firmware)" = 0/0x3c/60

# Damaged as people damage an installation: its helper, task and record of its folder deleted.
# A repair mends it, and, damaged again, it is removed all the same.
installed=$(snapshot)
damage() {
    rm -f "$(folder_of 'C:\Program Files\Light')/setup-helper.exe" &&
        win schtasks /delete /tn "Light brightness" /f >/dev/null &&
        win reg delete "HKLM\\$record" /v InstallFolder /f /reg:64 >/dev/null
}
check "damaged" damage
msi /i "$package" REINSTALL=ALL REINSTALLMODE=vomus
check "a repair mends a damaged installation" test "$?/$(snapshot)" = "0/$installed"
check "damaged again" damage
msi /x "$package"
check "uninstalled, damaged as it was: exit code 0" test $? = 0
check "nothing left but the remembered brightness: $(left)" test "$(left)/$(stored)" = /0x3c
finish "MSI: undoes failed steps, refuses, installs, upgrades, repairs, uninstalls and removes as it should"
