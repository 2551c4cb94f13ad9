#!/usr/bin/env bash
# run-example-test.sh LAUNCHER DLL EXAMPLE [ARG...]: registers DLL in the build's Wine prefix, runs
# one of the list-services examples (a .vbs or .js through cscript, else a Windows program),
# unregisters the DLL, and passes when the table lists Spooler with the display name that the
# registry holds for it, a state and a start type, and its closing count matches its rows.
set -uo pipefail

if [[ $# -lt 3 ]]; then
    echo "usage: run-example-test.sh LAUNCHER DLL EXAMPLE [ARG...]" >&2
    exit 2
fi
emulator=$1 dll=$2 example=$3
shift 3
source "$(dirname "${BASH_SOURCE[0]}")/prefix.sh"
dll=$(windows_path "$dll")
case "$example" in
*.vbs | *.js) command=(cscript //nologo "$(windows_path "$example")") ;;
*) command=("$example") ;;
esac

fail() {
    echo "run-example-test: $*" >&2
    exit 1
}

# The expected display name comes from the service database itself, not from the component.
display_name=$("$emulator" reg query 'HKLM\System\CurrentControlSet\Services\Spooler' \
    /v DisplayName | tr -d '\r' | sed -n 's/^ *DisplayName *REG_SZ *//p')
[[ -n "$display_name" ]] || fail "the registry holds no display name for Spooler"

"$emulator" regsvr32 /s "$dll" || fail "regsvr32 could not register $dll"
output=$("$emulator" "${command[@]}" "$@" 2>&1 | tr -d '\r')
status=${PIPESTATUS[0]}
"$emulator" regsvr32 /u /s "$dll" || echo "run-example-test: regsvr32 /u failed" >&2
printf '%s\n' "$output"

[[ $status -eq 0 ]] || fail "the example exited with $status"
header=$(printf '%s\n' "$output" | head -n 1)
[[ "$header" =~ ^Name\ +Display\ name\ +State\ +Start\ type\ +Program$ ]] ||
    fail "no table header"

states='Stopped|Start Pending|Stop Pending|Running|Continue Pending|Pause Pending|Paused'
start_types='Boot Start|System Start|Auto Start|Demand Start|Disabled'
spooler=$(printf '%s\n' "$output" | grep -E '^Spooler ')
[[ -n "$spooler" ]] || fail "Spooler is not listed"
# Columns are separated by two spaces at least; the display name is matched as plain text.
rest=${spooler#Spooler }
rest=${rest#"${rest%%[! ]*}"}
[[ "$rest" == "$display_name  "* ]] ||
    fail "Spooler's display name is not '$display_name'"
rest=${rest#"$display_name"}
[[ "$rest" =~ ^\ +($states)\ +($start_types)\ +.*spoolsv ]] ||
    fail "Spooler's row has no state, start type and program: '$spooler'"

# The rows lie between the rule under the header and the blank line before the count.
rows=$(printf '%s\n' "$output" | sed -n '3,/^$/p' | grep -c .)
summary=$(printf '%s\n' "$output" | tail -n 1)
[[ "$summary" =~ ^([0-9]+)\ services\ on\ .+\.$ ]] || fail "no closing count"
[[ "${BASH_REMATCH[1]}" -eq "$rows" ]] ||
    fail "the count says ${BASH_REMATCH[1]} services, the table has $rows rows"
