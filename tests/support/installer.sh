# shellcheck shell=bash disable=SC2154  # build comes from the script that sources this
# Sourced by the installers' checks: a Wine prefix of their own as an administrator's machine, and
# what an installation leaves on it. Needs build (the build folder) set, and prefix (the prefix's
# folder in it) where the check is not the EXE installer's.
export LIGHT_WINE_PREFIX=$build/${prefix:-wineprefix-installer}
drive=$LIGHT_WINE_PREFIX/drive_c
tasks=$drive/windows/system32/tasks
task_file=$tasks/Light\ brightness
apps='Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvane.Light'
# Where version 1.0.0 kept its entry, and where any other product may keep one.
legacy='Software\Microsoft\Windows\CurrentVersion\Uninstall\Light'
settings='SOFTWARE\Orvane\CalvexLighting'
# Where the installer names the folder of a first installation until it is complete.
unfinished='SOFTWARE\Orvane\LightSetup'
# The version this build makes, which its installers install.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
environment='System\CurrentControlSet\Control\Session Manager\Environment'

# Every Windows program gets a minute; one that hangs fails its check instead of the whole run.
win() { timeout 60 "$build/wine-run" "$@"; }
# A file's Windows name, as winepath gives it, without starting a Windows program that could fail
# unseen: the prefix's drive C:, and Z: for the rest of the file system.
windows_path() {
    local path=$1
    case $path in
        "$drive"/*) path=C:${path#"$drive"} ;;
        *) path=Z:$path ;;
    esac
    echo "${path//\//\\}"
}
# A command line run as written, as deployment tools run QuietUninstallString.
run_line() { win "$build/bin/run_command_line.exe" "$1"; }
install() { run_line "$(windows_path "$1") /S${2:+ $2}"; }

# Values of a key under HKLM, one line each: text as UTF-8, a number as 0x..., an empty line for
# one that is missing; a line saying so when they cannot be read, which no expected value matches.
value() {
    win "$build/bin/registry_value.exe" "$@" >"$work/value" || {
        echo "(registry_value $* failed)"
        return 1
    }
    tr -d '\r' <"$work/value"
}
stored() { value "$settings" Brightness; }
# The system PATH exactly as stored: its type and every byte, the terminating NUL included.
system_path() { value --raw "$environment" Path; }
expandable() {  # text: how the registry holds it as a REG_EXPAND_SZ (type 2)
    echo "2 $(printf '%s\0' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -d ' \n')"
}
set_system_path() {
    win reg add "HKLM\\$environment" /v Path /t REG_EXPAND_SZ /d "$1" /f /reg:64 >/dev/null
}
folder_of() { echo "$drive/Program Files/${1#C:\\Program Files\\}"; }

# The check's folder, work, with the firmware stand-in's brightness in it, and its prefix up, with
# the Task Scheduler's service. Each check then cleans its prefix: what the last run left does not
# matter till then, and is not cleaned on the way out.
start_prefix() {
    work=$(mktemp -d)
    LIGHT_STANDIN_STATE=$(windows_path "$work/firmware")
    export LIGHT_STANDIN_STATE
    "$build/wine-prefix" up || exit 1
    trap 'rm -rf "$work"; "$build/wine-prefix" down' EXIT
    win net start schedule >/dev/null 2>&1
}

# What the checks keep in their folder, work: the firmware stand-in's brightness, and logs.
firmware() { cat "$work/firmware" 2>/dev/null; }
log() { echo "/LOG=$(windows_path "$work/$1")"; }
# What a run said, as its log holds it after the line that names the run.
logged() {
    local title="^Light ${version//./\\.} $2, "
    grep -qE "${title}[0-9]{4}(-[0-9]{2}){2} [0-9]{2}(:[0-9]{2}){2}"$'\r$' "$work/$1" &&
        test "$(grep -vE "$title" "$work/$1")" = "$3"
}

# A task registered, and the definition the installed helper registers for the folder given: the
# shipped one, but for the installed light.exe, valid as the Task Scheduler's schema has it. Wine
# keeps neither the action nor the triggers of a definition it registers.
text_of() { iconv -f UTF-16 -t UTF-8 "$1" | sed 's/ xmlns="[^"]*"//; s/"UTF-16"/"UTF-8"/'; }
runs_installed() {
    local xml=$work/definition.xml tests
    tests=$(dirname "${BASH_SOURCE[0]}")/..
    [ -f "$task_file" ] && rm -f "$xml" && win "$(folder_of "$1")/setup-helper.exe" \
        task-definition "$1" "$(windows_path "$xml")" &&
        xmllint --noout --schema "$tests/task_definition.xsd" "$xml" &&
        diff <(text_of "$tests/../installer/light-task.xml" | grep -v '<Command>') \
            <(text_of "$xml" | grep -v '<Command>') &&
        test "$(text_of "$xml" | xmllint --xpath 'string(//Exec/Command)' -)" = "\"$1\\light.exe\""
}

# Anything an installation may leave: a folder of Program Files' own, the task, the Apps entry.
stock_folders='Common Files|Internet Explorer|Windows Media Player|Windows NT'
our_folders() {
    { find "$drive/Program Files" -mindepth 1 -maxdepth 1 || echo "(Program Files cannot be listed)"; } |
        grep -vE "/($stock_folders)$"
}
nothing_installed() {
    [ -z "$(our_folders)" ] && [ ! -e "$task_file" ] &&
        [ -z "$(value "$apps" DisplayName --text "$unfinished" InstallingInto | tr -d '\n')" ]
}
apps_entry=(DisplayName DisplayVersion Publisher DisplayIcon InstallLocation UninstallString
    QuietUninstallString NoModify NoRepair PathEntry)
# Everything an installation is made of, to compare before and after a step.
snapshot() {
    local entry
    entry=$(value "$apps" "${apps_entry[@]}" EstimatedSize --raw "$environment" Path)
    (cd "$(folder_of "$(sed -n 5p <<<"$entry")")" && sha256sum -- *)
    echo "$entry"
    sha256sum "$task_file"
    our_folders
} 2>&1

# Another product's entry under the legacy key, for the folder C:\Other\<name>: its name, its
# publisher, then the files in that folder, each a program that leaves a mark if run.
# foreign_intact holds while the entry and the folder are as made and none of the files ran.
foreign() {
    local folder=$drive/Other/$1
    mkdir -p "$folder" && shift
    win reg add "HKLM\\$legacy" /v Publisher /d "$1" /f /reg:64 >/dev/null 2>&1
    win reg add "HKLM\\$legacy" /v InstallLocation /d "$(windows_path "$folder")" /f /reg:64 \
        >/dev/null 2>&1
    for file in "${@:2}"; do cp "$build/bin/leave_mark.exe" "$folder/$file"; done
    foreign_was=$(foreign_state)
}
foreign_state() {
    value "$legacy" Publisher InstallLocation
    (cd "$drive/Other" && find . -type f | sort)
}
foreign_intact() { test "$(foreign_state)" = "$foreign_was"; }

# The programs running in this prefix (the other checks run theirs at the same time) whose
# command line matches; a line saying so when they cannot be listed.
running_here() {
    local pids
    pids=$(pgrep --runstates RSD -f "$1")
    [ $? -le 1 ] || echo "(processes cannot be listed)"
    for pid in $pids; do grep -qzx "WINEPREFIX=$LIGHT_WINE_PREFIX" "/proc/$pid/environ" && echo "$pid"; done
}

# A light.exe of the folder given, with its arguments, that the firmware never answers, as at a
# logon it may not: started in the background by its Windows name, as the task starts it, and
# running once this returns.
hung_light() {
    LIGHT_STANDIN_FAULTS=exec-hang:5 win "$build/bin/run_command_line.exe" \
        "\"$(windows_path "$1/light.exe")\"${2:+ $2}" >/dev/null 2>&1 &
    eventually running '^C:.*light\.exe' || check "light.exe running in $1" false  # what follows would pass without it
}
running() { [ -n "$(running_here "$1")" ]; }
stopped() { ! running "$1"; }
# Whether a command succeeds within 5 s, tried again and again.
eventually() {
    for _ in $(seq 100); do "$@" && return 0; sleep 0.05; done
    return 1
}

# Holds a file open as a scanner does, or Light's lock as another installation does, until
# release, which waits for every program started in the background.
release_marker=$(mktemp -u)
lock='Global\Orvane.Light.Installation'
hold() {
    rm -f "$release_marker" "$release_marker.ready"
    local held=$1
    [ "$held" = "$lock" ] || held=$(windows_path "$1")
    win "$build/bin/hold_file.exe" "$held" "$(windows_path "$release_marker")" &
    for _ in $(seq 200); do
        [ -f "$release_marker.ready" ] && return
        sleep 0.05
    done
    # What follows would pass without it held.
    check "$1 held" false
}
release() {
    touch "$release_marker"
    wait
    rm -f "$release_marker" "$release_marker.ready"
}

# The prefix as Wine makes it: no installation, no remembered value, Wine's own PATH; and a PATH
# of over 4,000 characters, which no NSIS string holds, that must come back byte for byte.
stock_path='%SystemRoot%\system32;%SystemRoot%;%SystemRoot%\system32\wbem;%SystemRoot%\system32\WindowsPowershell\v1.0'
long_path=$stock_path
for index in $(seq 90); do long_path+=";C:\\Program Files (x86)\\Vendor  Suite\\Part $index\\bin"; done
clean() {
    release
    rm -rf "$tasks/Light brightness"
    while read -r folder; do rm -rf "$folder"; done < <(our_folders)
    rm -f "$drive"/users/*/Temp/lgt*.tmp
    win schtasks /delete /tn "Light brightness" /f
    win "$build/bin/registry_value.exe" --apply "$apps|" "$legacy|" 'SOFTWARE\Orvane|'
    rm -rf "$drive/Other"
    set_system_path "$stock_path"
} >/dev/null 2>&1
