#!/usr/bin/env bash
# The installer moving, uninstalling, and the system PATH as a new prompt sees it, in a Wine
# prefix of its own beside the installer check's: an installation moved to another folder with a
# log that cannot be written, a silent uninstall that fails with a file held open and then
# succeeds, light.exe still running, a long PATH kept byte for byte; /NOPATH leaves the PATH as it
# is, installing again puts light on it for a new prompt, an entry taken off by hand is no
# failure, and a folder on it already is neither added again (by two installations at once) nor
# taken off;
# meanwhile another product's Apps entry under the legacy key, with files named as ours are, is
# never read, and relative logs go to the folder the command was started in; a run killed takes its
# steps with it.
# Usage: check_installer_path.sh <build folder> <installer>
# shellcheck disable=SC2317,SC2154,SC2034  # `check` calls; support/installer.sh sets, reads names
set -uo pipefail
here=$(dirname "$0")
build=$1
setup=$2
prefix=wineprefix-installer-path
. "$here/support/check.sh"
. "$here/support/installer.sh"
start_prefix
clean

set_system_path "$long_path"
install "$setup" "/BRIGHTNESS=70" >/dev/null
check "installed, with /BRIGHTNESS=70" test "$?/$(stored)" = 0/0x46

# A log that cannot be written does not stop the installation.
moved="C:\\Program Files\\Ørvane's Lämp 灯"
said=$(install "$setup" "/LOG=C:\\no-such-folder\\light.log /D=$moved")
check "another folder, and a log that cannot be written: exit code 0" test $? = 0
check "and says so" grep -qF 'Could not write to the log C:\no-such-folder\light.log' <<<"$said"
check "the earlier installation is gone" test "$(our_folders)" = "$(folder_of "$moved")"
check "one task" test "$(ls "$tasks")" = "Light brightness"
check "its definition runs $moved\\light.exe" runs_installed "$moved"
check "one Apps entry, for the new folder" test "$(value "$apps" InstallLocation)" = "$moved"
check "the PATH names the new folder only" test "$(system_path)" = "$(expandable "$long_path;$moved")"

# As typed at a prompt in the test's folder: a relative log, in any letter case.
uninstall="$(value "$apps" QuietUninstallString | sed 's/uninstall$/UNINSTALL/') /Log=uninstall.log"
left=$(folder_of "$moved")
hold "$left/README.txt"
said=$(cd "$work" && run_line "$uninstall")
check "silent uninstall with a file held open fails: exit code 4" test $? = 4
check "and says which file" grep -qF "Could not delete $moved\\README.txt" <<<"$said"
release
check "and stays in Apps, to be run again" test -n "$(value "$apps" DisplayName)"
echo "a user's notes" >"$left/notes.txt"
# A light.exe that the firmware holds up, as a run at logon may be: ended before its file goes
# (put back here, as the uninstall that failed deleted it).
cp "$build/bin/light.exe" "$left" && hung_light "$left"
# A record of a first installation cut short that names it, as one cut short after its Apps entry
# leaves: gone with it.
win reg add "HKLM\\$unfinished" /v InstallingInto /d "$moved" /f /reg:64 >/dev/null
said+=$'\n'$(cd "$work" && run_line "$uninstall")
check "silent uninstall, light.exe running: exit code 0" test $? = 0
wait
check "leaves the folder, which holds a file of the user's, and says so" \
    test "$(ls "$left")/$(tail -1 <<<"$said" | tr -d '\r')" = \
    "notes.txt/$moved holds files that Light did not install, and was left."
rm -r "$left"
check "returns when task and Apps entry are gone" nothing_installed
check "the log of both uninstalls holds what they said: $(cat "$work/uninstall.log")" \
    logged uninstall.log uninstall "$said"
check "and the PATH as it was, byte for byte" test "$(system_path)" = "$(expandable "$long_path")"
check "and keeps the remembered brightness" test "$(stored)" = 0x46

# With Wine's own PATH, which Wine hands new programs whole (it cuts a long one short): /NOPATH
# leaves it; installing again without puts light on it for a new prompt. A folder on it already,
# in other letters and with a backslash, is neither added again nor taken off.
# And another product's entry under the legacy key, with files named as ours are: never read.
set_system_path "$stock_path"
foreign "Light" "Other Maker" uninstall.exe setup-helper.exe light.exe
said=$(cd "$work" && install "$setup" "/nopath /log=relative.log")
check "/nopath: installed, the PATH as it was" test "$?/$(system_path)" = "0/$(expandable "$stock_path")"
check "into the default folder, whatever the other entry says" \
    test "$(value "$apps" InstallLocation)" = 'C:\Program Files\Light'
check "a relative log is in the folder it was started in" logged relative.log setup "$said"
install "$setup"
check "installed again: the folder on the PATH" \
    test "$(system_path)" = "$(expandable "$stock_path;C:\\Program Files\\Light")"
check "its definition runs C:\\Program Files\\Light\\light.exe" runs_installed 'C:\Program Files\Light'
# The PATH the prompt was given, shown should light not be found on it.
prompt=$(win cmd /c 'echo %PATH%& light 50' 2>&1)
check "a new prompt finds light on the PATH: $prompt" test "$?/$(firmware)" = 0/50
# A PATH that cannot be changed safely keeps its entry, and the uninstallation fails whole.
installed=$(snapshot)
win reg add "HKLM\\$environment" /v Path /t REG_DWORD /d 7 /f /reg:64 >/dev/null
said=$(run_line "$(value "$apps" QuietUninstallString)")
check "an uninstallation that cannot take its PATH entry off: exit code 4, and says why" \
    grep -qzE "^4/.*PATH was left as it is: it is not a string value.*stays in Apps" <<<"$?/$said"
set_system_path "$stock_path;C:\\Program Files\\Light"
check "and leaves the installation as it was, its task registered" test "$(snapshot)" = "$installed"
set_system_path "$stock_path"
run_line "$(value "$apps" QuietUninstallString)"
check "uninstalled, its PATH entry taken off by hand before: exit code 0" \
    test "$?/$(system_path)" = "0/$(expandable "$stock_path")"
# Two silent installations at once: one waits for the other, then installs the same again.
set_system_path "$stock_path;c:\\program files\\light\\"
for run in 1 2; do (install "$setup" >/dev/null; echo $? >"$work/run $run") & done
wait
check "two installations started at once both end with 0" test "$(cat "$work/run 1" "$work/run 2" | xargs)" = "0 0"
check "an entry already there is not added again" \
    test "$(system_path)" = "$(expandable "$stock_path;c:\\program files\\light\\")"
run_line "$(value "$apps" QuietUninstallString)"
check "nor taken off" test "$(system_path)" = "$(expandable "$stock_path;c:\\program files\\light\\")"
check "and the other product's entry is still there, as it was, its files never run" foreign_intact
# A run that a deployment tool kills takes its steps with it: an installation at its last step, a
# /BRIGHTNESS= that never ends; an uninstall command while its uninstaller waits for a light.exe
# that never ends, to end it.
LIGHT_STANDIN_FAULTS=exec-hang:5 install "$setup" "/BRIGHTNESS=50" >/dev/null 2>&1 &
eventually running '^C:.*light\.exe' && kill -9 "$(running_here '^Z:.*win64-setup\.exe')"
check "an installation killed" test $? = 0
wait
check "leaves none of its steps running" eventually stopped 'light\.exe|setup-helper\.exe'
hung_light "$(folder_of 'C:\Program Files\Light')"
run_line "$(value "$apps" QuietUninstallString)" >/dev/null 2>&1 &
eventually running task-delete && kill -9 "$(running_here '^C:.*setup-helper\.exe uninstall')"
check "an uninstall command killed" test $? = 0
check "leaves none of its steps running" eventually stopped 'uninstall\.exe|setup-helper\.exe'
check "nor any going on: the installation still there" test -n "$(value "$apps" DisplayName)"
finish "installer: moves, uninstalls, and leaves the PATH as a new prompt should see it"
