#!/usr/bin/env bash
# main.sh [--all] [/active] [/drivers] [COMPUTER]: the main job. Installs what is missing, builds
# Tobrunel.dll and the C++ example through the Windows preset, registers the DLL in the build's
# Wine prefix and prints this computer's services as a table, through examples/list-services.vbs
# run by cscript. The JScript and C++ examples run too: their tables are compared with it, and
# shown when they differ or with --all. The other arguments go to every example (only active
# services; drivers too; another computer). TOBRUNEL_JOBS (default 2): build jobs;
# TOBRUNEL_WINDOWS_ARCH: i686, x86_64 or auto (i686 where this machine runs 32-bit programs).
set -uo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
show_all=0
example_args=()
for argument in "$@"; do
    case "$argument" in
    --all) show_all=1 ;;
    -h | --help) sed -n '2,/^$/s/^# \{0,1\}//p' "${BASH_SOURCE[0]}" && exit 0 ;;
    *) example_args+=("$argument") ;;
    esac
done

scripts/setup.sh || exit 1
arch=${TOBRUNEL_WINDOWS_ARCH:-auto}
if [[ $arch == auto ]]; then
    arch=x86_64
    /usr/lib/wine/wine --version >/dev/null 2>&1 && arch=i686
fi
preset=windows-$arch
run=build/$preset/wine-run # the build's launcher: its own loader, its own prefix
echo "=== building Tobrunel.dll and the C++ example (presets $preset, $preset-main)" >&2
mkdir -p build
cmake --preset "$preset" >"build/$preset.configure.log" 2>&1 || { cat "build/$preset.configure.log" >&2; exit 1; }
CMAKE_BUILD_PARALLEL_LEVEL=${TOBRUNEL_JOBS:-2} cmake --build --preset "$preset-main" >&2 || exit 1

# ---- MAIN JOB: register Tobrunel.dll in the prefix and list this computer's services -------
"$run" --start || exit 1
# Windows programs start in this directory (as Z:\...), so relative paths reach the files.
dll=build/$preset/server/Tobrunel.dll
# The prefix is the test suite's too: leave it unregistered, as the tests expect to find it.
trap '"$run" regsvr32 /u /s "$dll"; "$run" --stop' EXIT
echo "=== registering $dll in build/$preset/wineprefix" >&2
"$run" regsvr32 /s "$dll" || { echo "main.sh: regsvr32 could not register $dll" >&2 && exit 1; }

# run_example NAME COMMAND...: the example's output without carriage returns; fails when it did
# not reach its closing "N services on COMPUTER." line (cscript exits 0 after a script error).
run_example() {
    local name=$1 output
    output=$("$run" "${@:2}" "${example_args[@]}" 2>&1 | tr -d '\r')
    printf '%s\n' "$output"
    if ! printf '%s\n' "$output" | tail -n 1 | grep -qE '^[0-9]+ .* on .+\.$'; then
        echo "main.sh: $name stopped before its last line" >&2
        return 1
    fi
}

status=0
shown_args=${example_args[*]:+ ${example_args[*]}}
echo "=== examples/list-services.vbs$shown_args (cscript //nologo)" >&2
vbs_table=$(run_example list-services.vbs cscript //nologo examples/list-services.vbs) || status=1
printf '%s\n' "$vbs_table"
# The JScript and C++ examples print the same table; shown whole with --all, else compared.
for program in "cscript //nologo examples/list-services.js" "build/$preset/examples/list-services.exe"; do
    example=${program##*/}
    # shellcheck disable=SC2086 # a command and its arguments, none with a space
    table=$(run_example "$example" $program) || status=1
    if [[ $show_all -eq 1 || "$table" != "$vbs_table" ]]; then
        printf '\n=== examples/%s%s\n%s\n' "$example" "$shown_args" "$table"
    else
        echo "=== examples/$example$shown_args: the same table" >&2
    fi
done
# ---- END OF MAIN JOB --------------------------------------------------------------------------

# Both DLLs: the other width's is built too (no build runs a 32-bit program), and both are named.
other=i686
[[ $arch == i686 ]] && other=x86_64
echo "=== building the $other DLL (preset windows-$other)" >&2
if ! { cmake --preset "windows-$other" >"build/windows-$other.configure.log" 2>&1 &&
    CMAKE_BUILD_PARALLEL_LEVEL=${TOBRUNEL_JOBS:-2} cmake --build --preset "windows-$other-main" >&2; }; then
    echo "main.sh: the $other DLL did not build (see build/windows-$other.configure.log)" >&2
    status=1
fi
"build/windows-$other/wine-run" --stop
printf '\n32-bit DLL (i686): %s\n64-bit DLL (x86_64): %s\n' "$PWD/build/windows-i686/server/Tobrunel.dll" \
    "$PWD/build/windows-x86_64/server/Tobrunel.dll"
exit $status
