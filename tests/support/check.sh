# shellcheck shell=bash
# Sourced by the shell checks: each check that fails is reported and counted, and the script ends
# with `finish`, which fails when any did.
failures=0
check() {  # what must hold, then a command that succeeds when it does
    local what=$1
    shift
    "$@" >/dev/null 2>&1 || { echo "FAILED: $what"; failures=$((failures + 1)); }
}
# The company a Windows program's version information names.
company_of() {
    wrestool -x --raw -t16 -n1 "$1" | x86_64-w64-mingw32-strings -el | grep -x -A1 CompanyName |
        tail -1
}
finish() {
    [ "$failures" -eq 0 ] && echo "$1"
    exit "$((failures > 0))"
}
