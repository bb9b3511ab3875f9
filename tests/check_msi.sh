#!/usr/bin/env bash
# The Windows Installer package as administrators deploy it, under Wine's msiexec /qn in a prefix
# of its own: refusals, also while another installation of Light runs; installing, the same
# version again beside the EXE installer, upgrading an installation whose helper was deleted,
# downgrading, repairing, removing the feature and uninstalling, also where the PATH entry cannot
# come off. With "rollback" after its arguments, in a prefix of its own beside the others, each
# failed step undone as Windows would undo it (check_msi_rollback.py).
# Usage: check_msi.sh <build folder> <package> <older package, 0.9.0> <EXE installer> [rollback]
# shellcheck disable=SC2317,SC2154,SC2034  # `check` calls; support/installer.sh sets, reads names
set -uo pipefail
here=$(dirname "$0")
prefix=wineprefix-msi${5:+-$5}
. "$here/support/msi.sh"
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
hung_light "$folder"
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

finish "MSI: refuses, installs, upgrades, repairs, uninstalls and removes as it should"
