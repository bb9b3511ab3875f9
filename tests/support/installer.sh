# shellcheck shell=bash disable=SC2154  # build comes from the script that sources this
# Sourced by the installer check: a Wine prefix of its own as an administrator's machine, and
# what an installation leaves on it. Needs build (the build folder) set.
export LIGHT_WINE_PREFIX=$build/wineprefix-installer
wine_run=$build/wine-run
drive=$LIGHT_WINE_PREFIX/drive_c
tasks=$drive/windows/system32/tasks
task_file=$tasks/Light\ brightness
apps='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Light'
settings='HKLM\SOFTWARE\Orvane\CalvexLighting'
environment='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'

# Every Windows program gets a minute; one that hangs fails its check instead of the whole run.
win() { timeout 60 "$wine_run" "$@"; }
windows_path() { win winepath -w "$1" 2>/dev/null; }
# A command line run as written, as deployment tools run QuietUninstallString.
run_line() { win "$build/bin/run_command_line.exe" "$1"; }
install() { run_line "$(windows_path "$1") /S${2:+ $2}"; }

value() {  # registry key, value name: the data exactly as stored
    win reg query "$1" /v "$2" /reg:64 2>/dev/null | tr -d '\r' |
        sed -n "s/^    $2    REG_[A-Z_]*    //p"
}
stored() { value "$settings" Brightness; }
system_path() { value "$environment" Path; }
set_system_path() { win reg add "$environment" /v Path /t REG_EXPAND_SZ /d "$1" /f /reg:64 >/dev/null; }
folder_of() { echo "$drive/Program Files/${1#C:\\Program Files\\}"; }

# Anything an installation may leave: a folder of Program Files' own, the task, the Apps entry.
stock_folders='Common Files|Internet Explorer|Windows Media Player|Windows NT'
our_folders() { find "$drive/Program Files" -mindepth 1 -maxdepth 1 | grep -vE "/($stock_folders)$"; }
nothing_installed() {
    [ -z "$(our_folders)" ] && [ ! -e "$task_file" ] && [ -z "$(value "$apps" DisplayName)" ]
}
# Everything an installation is made of, to compare before and after a step.
snapshot() {
    (cd "$(folder_of "$(value "$apps" InstallLocation)")" && sha256sum -- *)
    win reg query "$apps" /reg:64 | tr -d '\r'
    system_path
    sha256sum "$task_file"
    our_folders
} 2>&1

# Holds a file open as a scanner does, until release.
release_marker=$(mktemp -u)
hold() {
    rm -f "$release_marker" "$release_marker.ready"
    win "$build/bin/hold_file.exe" "$(windows_path "$1")" "$(windows_path "$release_marker")" &
    for _ in $(seq 100); do
        [ -f "$release_marker.ready" ] && return
        sleep 0.05
    done
}
release() {
    touch "$release_marker"
    wait
    rm -f "$release_marker" "$release_marker.ready"
}

# The prefix as Wine makes it: no installation, no remembered value, Wine's own PATH.
stock_path='%SystemRoot%\system32;%SystemRoot%;%SystemRoot%\system32\wbem;%SystemRoot%\system32\WindowsPowershell\v1.0'
clean() {
    release
    rm -rf "$tasks/Light brightness"
    while read -r folder; do rm -rf "$folder"; done < <(our_folders)
    rm -f "$drive"/users/*/Temp/lgt*.tmp
    win schtasks /delete /tn "Light brightness" /f
    win reg delete "$apps" /f /reg:64
    win reg delete "$settings" /f /reg:64
    set_system_path "$stock_path"
} >/dev/null 2>&1
