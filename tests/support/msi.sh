# shellcheck shell=bash disable=SC2154,SC2034  # names that support/installer.sh and the checks set and read
# Sourced by the package's checks, with here (the tests folder) and prefix set, and their
# arguments: the build folder, the package, the older package (0.9.0) and the EXE installer.
# msiexec as administrators run it, each version's Apps entry, and what an installation leaves,
# in the check's own prefix, started and cleaned.
build=$1
package=$2
older=$3
setup=$4
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
