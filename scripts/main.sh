#!/usr/bin/env bash
# main.sh: the main job. Installs what is missing, builds the Windows build, registers Tobrunel.dll
# in the build's private Wine prefix and prints this computer's services as a table, through
# examples/list-services.vbs run by cscript. The JScript and C++ examples run too: their tables
# are compared with it, and shown when they differ.
#
#   scripts/main.sh [--all] [/active] [/drivers] [COMPUTER]
#
#   --all      print the JScript and C++ examples' tables as well
#   the rest   passed to every example (only active services; drivers too; another computer)
#
# Settings: TOBRUNEL_BUILD_ROOT (default build/), TOBRUNEL_JOBS (default 2), TOBRUNEL_WINDOWS_ARCH
# (i686, x86_64 or auto: i686 where this machine runs 32-bit programs, else x86_64).
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
builds=${TOBRUNEL_BUILD_ROOT:-$root/build}
jobs=${TOBRUNEL_JOBS:-2}
# shellcheck source=scripts/wine-harness.sh
source "$root/scripts/wine-harness.sh"

show_all=0
example_args=()
for argument in "$@"; do
    case "$argument" in
    --all) show_all=1 ;;
    -h | --help)
        sed -n '2,/^$/s/^# \{0,1\}//p' "${BASH_SOURCE[0]}"
        exit 0
        ;;
    *) example_args+=("$argument") ;;
    esac
done

"$root/scripts/setup.sh" || exit 1

arch=$(wine_harness_windows_arch)
dir="$builds/windows-$arch"
mkdir -p "$dir"
export TOBRUNEL_WINEPREFIX="$dir/wineprefix"
# Every prefix is win64; the 32-bit DLL is served by the 32-bit hosts of its WoW64 side.
export TOBRUNEL_WINEARCH=win64
system32='C:\windows\system32'
[[ "$arch" == i686 ]] && system32='C:\windows\syswow64'

wine_harness_start || exit 1
trap 'wine_harness_stop' EXIT

echo "=== building the Windows build ($arch) in $dir" >&2
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" >"$dir.configure.log" 2>&1 || {
    cat "$dir.configure.log" >&2
    exit 1
}
# The DLL and the C++ example are all the main job runs; the tests build in test-all.sh.
cmake --build "$dir" -j "$jobs" --target Tobrunel list-services >&2 || exit 1

# ---- MAIN JOB: register Tobrunel.dll in the prefix and list this computer's services -------
dll=$(wine_harness_windows_path "$dir/server/Tobrunel.dll")
echo "=== registering $dll in $TOBRUNEL_WINEPREFIX" >&2
wine_harness_wine "$system32\\regsvr32.exe" /s "$dll"
registered=$?
if [[ $registered -ne 0 ]]; then
    echo "main.sh: regsvr32 could not register $dll (exit $registered)" >&2
    exit 1
fi
# The prefix is the test suites' too: leave it unregistered, as they expect to find it.
trap 'wine_harness_wine "$system32\\regsvr32.exe" /u /s "$dll"; wine_harness_stop' EXIT

# run_example NAME COMMAND...: the example's output without carriage returns; fails when it did
# not reach its closing "N services on COMPUTER." line (cscript exits 0 after a script error).
run_example() {
    local name=$1 output
    shift
    output=$(wine_harness_wine "$@" 2>&1 | tr -d '\r')
    printf '%s\n' "$output"
    if ! printf '%s\n' "$output" | tail -n 1 | grep -qE '^[0-9]+ .* on .+\.$'; then
        echo "main.sh: $name stopped before its last line" >&2
        return 1
    fi
}

status=0
shown_args=${example_args[*]:+ ${example_args[*]}}
echo "=== examples/list-services.vbs$shown_args (wine cscript //nologo)" >&2
vbs_table=$(run_example list-services.vbs "$system32\\cscript.exe" //nologo \
    "$(wine_harness_windows_path "$root/examples/list-services.vbs")" "${example_args[@]}") ||
    status=1
printf '%s\n' "$vbs_table"

# The JScript and C++ examples print the same table; shown whole with --all, else compared.
for example in list-services.js list-services.exe; do
    if [[ $example == *.js ]]; then
        program=("$system32\\cscript.exe" //nologo "$(wine_harness_windows_path "$root/examples/$example")")
    else
        program=("$dir/examples/$example")
    fi
    table=$(run_example "$example" "${program[@]}" "${example_args[@]}") || status=1
    if [[ $show_all -eq 1 || "$table" != "$vbs_table" ]]; then
        echo
        echo "=== examples/$example$shown_args"
        printf '%s\n' "$table"
    else
        echo "=== examples/$example$shown_args: the same table" >&2
    fi
done
# ---- END OF MAIN JOB --------------------------------------------------------------------------

# Both DLLs: the other width's is built too (its build runs only 64-bit programs).
other=x86_64
[[ "$arch" == x86_64 ]] && other=i686
other_dir="$builds/windows-$other"
echo "=== building the $other DLL in $other_dir" >&2
if ! { cmake -S "$root" -B "$other_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$other.cmake" >"$other_dir.configure.log" 2>&1 &&
    cmake --build "$other_dir" -j "$jobs" --target Tobrunel >&2; }; then
    echo "main.sh: the $other DLL did not build (see $other_dir.configure.log)" >&2
    status=1
fi
WINEPREFIX="$other_dir/wineprefix" wineserver -k 2>/dev/null || true
echo
echo "32-bit DLL: $builds/windows-i686/server/Tobrunel.dll"
echo "64-bit DLL: $builds/windows-x86_64/server/Tobrunel.dll"

exit $status
