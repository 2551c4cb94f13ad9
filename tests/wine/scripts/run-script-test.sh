#!/usr/bin/env bash
# run-script-test.sh LAUNCHER DLL SCRIPT [NAME=VALUE...]: registers DLL in the build's Wine
# prefix, runs SCRIPT, after the checks of its language (check.vbs or check.js), with cscript
# (the NAME=VALUE pairs added to its environment), unregisters the DLL again, and passes only
# when the script's summary line reports no failures. cscript prints nothing for a script's
# runtime or syntax error and still exits 0, so a missing summary line is a failure.
set -uo pipefail

if [[ $# -lt 3 ]]; then
    echo "usage: run-script-test.sh LAUNCHER DLL SCRIPT [NAME=VALUE...]" >&2
    exit 2
fi
emulator=$1 dll=$2 script=$3
shift 3
source "$(dirname "${BASH_SOURCE[0]}")/prefix.sh"
dll=$(windows_path "$dll")
# cscript names the language after the file's extension.
combined=$(mktemp --suffix ".${script##*.}")
trap 'rm -f "$combined"' EXIT
cat "$(dirname "${BASH_SOURCE[0]}")/check.${script##*.}" "$script" >"$combined"
script=$(windows_path "$combined")

if ! "$emulator" regsvr32 /s "$dll"; then
    echo "run-script-test: regsvr32 could not register $dll" >&2
    exit 1
fi
output=$(env "$@" "$emulator" cscript //nologo "$script" 2>&1)
status=$?
"$emulator" regsvr32 /u /s "$dll" || echo "run-script-test: regsvr32 /u failed" >&2

printf '%s\n' "$output"
summary=$(printf '%s\n' "$output" | tr -d '\r' | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -n 1)
if [[ -z "$summary" ]]; then
    echo "run-script-test: no summary line; the script stopped early (cscript hides the error)" >&2
    exit 1
fi
if [[ ! "$summary" =~ ^[0-9]+\ passed,\ 0\ failed$ || $status -ne 0 ]]; then
    exit 1
fi
