#!/usr/bin/env bash
# run-script-test.sh EMULATOR DLL SCRIPT [NAME=VALUE...]: registers DLL in the build's Wine
# prefix, runs SCRIPT with cscript (the NAME=VALUE pairs added to its environment), unregisters
# the DLL again, and passes only when the script's summary line reports no failures. cscript
# prints nothing for a script's runtime or syntax error and still exits 0, so a missing summary
# line is a failure.
set -uo pipefail

if [[ $# -lt 3 ]]; then
    echo "usage: run-script-test.sh EMULATOR DLL SCRIPT [NAME=VALUE...]" >&2
    exit 2
fi
emulator=$1 dll=$2 script=$3
shift 3

# shellcheck source=scripts/wine-harness.sh
source "$(dirname "$emulator")/wine-harness.sh"
# A 32-bit DLL is served by the 32-bit hosts of the win64 prefix's WoW64 side.
hosts='C:\windows\system32'
[[ $(wine_harness_pe_arch "$dll") == win32 ]] && hosts='C:\windows\syswow64'
dll=$(wine_harness_windows_path "$dll")
script=$(wine_harness_windows_path "$script")

if ! "$emulator" "$hosts\\regsvr32.exe" /s "$dll"; then
    echo "run-script-test: regsvr32 could not register $dll" >&2
    exit 1
fi
output=$(env "$@" "$emulator" "$hosts\\cscript.exe" //nologo "$script" 2>&1)
status=$?
"$emulator" "$hosts\\regsvr32.exe" /u /s "$dll" || echo "run-script-test: regsvr32 /u failed" >&2

printf '%s\n' "$output"
summary=$(printf '%s\n' "$output" | tr -d '\r' | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -n 1)
if [[ -z "$summary" ]]; then
    echo "run-script-test: no summary line; the script stopped early (cscript hides the error)" >&2
    exit 1
fi
if [[ ! "$summary" =~ ^[0-9]+\ passed,\ 0\ failed$ || $status -ne 0 ]]; then
    exit 1
fi
