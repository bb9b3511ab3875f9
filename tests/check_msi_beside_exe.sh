#!/usr/bin/env bash
# The Windows Installer package beside the EXE installer, under Wine's msiexec /qn in a prefix of
# its own: one installation per machine, the two started at once; the script that moves a PC
# between them; an installation damaged as people damage one, repaired, and removed.
# Usage: check_msi_beside_exe.sh <build folder> <package> <older package, 0.9.0> <EXE installer>
# shellcheck disable=SC2317,SC2154,SC2034  # `check` calls; support/installer.sh sets, reads names
set -uo pipefail
here=$(dirname "$0")
prefix=wineprefix-msi-exe
. "$here/support/msi.sh"
target='C:\Program Files\R&D Light'
folder=$(folder_of "$target")

# One installation per machine, as the EXE installer keeps it, and the script that moves a PC from
# one installer to the other, keeping the remembered brightness, whatever the names of folders and
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
finish "MSI: one installation per machine with the EXE installer, moved between them, repaired and removed when damaged"
