#!/usr/bin/env bash
# run-unregistered-test.sh WAY LAUNCHER DLL MANIFEST CLIENT EXAMPLE APP_MANIFEST WORKDIR: lists
# the services through a DLL that was never registered in LAUNCHER's prefix.
#
#   activation-context    CLIENT (activation_context_client) from an activation context made of
#                         MANIFEST, late-bound and through the vtable: the two tables must match.
#   application-manifest  EXAMPLE (list-services.exe, unchanged) copied into WORKDIR/app with the
#                         DLL, its MANIFEST and APP_MANIFEST as list-services.exe.manifest: its
#                         table must match CLIENT's, and the example must fail where it stands,
#                         with no manifest beside it.
#
# CLIENT also fails when HKEY_CLASSES_ROOT holds any key of the component. Every table must have
# its header, at least one row, and a closing count equal to its rows.
set -uo pipefail

if [[ $# -ne 8 ]]; then
    sed -n '2,/^$/s/^# \{0,1\}//p' "${BASH_SOURCE[0]}" >&2
    exit 2
fi
way=$1 emulator=$2 dll=$3 manifest=$4 client=$5 example=$6 app_manifest=$7 workdir=$8

fail() {
    echo "run-unregistered-test: $*" >&2
    exit 1
}

# table NAME PROGRAM [ARG...]: the program's output without CRs, checked to be a whole table.
table() {
    local name=$1 output status rows
    shift
    output=$("$emulator" "$@" | tr -d '\r')
    status=${PIPESTATUS[0]}
    [[ $status -eq 0 ]] || fail "$name exited with $status"
    [[ $(head -n 1 <<<"$output") =~ ^Name\ +Display\ name\ +State\ +Start\ type\ +Program$ ]] ||
        fail "$name printed no table header"
    rows=$(sed -n '3,/^$/p' <<<"$output" | grep -c .)
    [[ $(tail -n 1 <<<"$output") =~ ^([0-9]+)\ services\ on\ .+\.$ ]] ||
        fail "$name printed no closing count"
    [[ $rows -gt 0 && ${BASH_REMATCH[1]} -eq $rows ]] ||
        fail "$name counts ${BASH_REMATCH[1]} services in $rows rows"
    printf '%s\n' "$output"
}

# same A B: the two tables are the same text.
same() {
    [[ "$1" == "$2" ]] && return 0
    diff <(printf '%s\n' "$1") <(printf '%s\n' "$2") >&2
    fail "the tables differ"
}

case $way in
activation-context)
    late_bound=$(table "the late-bound client" "$client" "$manifest" dispatch) || exit 1
    vtable=$(table "the vtable client" "$client" "$manifest" vtable) || exit 1
    printf '%s\n' "$vtable"
    same "$late_bound" "$vtable"
    ;;
application-manifest)
    reference=$(table "the vtable client" "$client" "$manifest" vtable) || exit 1
    if "$emulator" "$example" >/dev/null 2>&1; then
        fail "$(basename "$example") found the classes with no manifest beside it"
    fi
    app=$workdir/app
    rm -rf "$app" && mkdir -p "$app" || fail "cannot make $app"
    cp "$example" "$dll" "$app/" && cp "$manifest" "$app/$(basename "${dll%.dll}").manifest" &&
        cp "$app_manifest" "$app/$(basename "$example").manifest" || fail "cannot fill $app"
    listed=$(table "the example beside its manifest" "$app/$(basename "$example")") || exit 1
    printf '%s\n' "$listed"
    same "$reference" "$listed"
    ;;
*) fail "unknown way '$way'" ;;
esac
