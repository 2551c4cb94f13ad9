#!/usr/bin/env bash
# bench.sh: builds the benchmarks through the Release presets bench-native and bench-windows, runs
# them in the Windows build's own Wine prefix, stops that prefix's server, and prints a table of
# medians: the DLL's overhead on a refresh, a VBScript listing through the DLL against WMI, the
# late-bound cost and the native scaling. Each program prints its own rows; nothing fails on time.
# docs/performance.md explains each figure and the settings (TOBRUNEL_BENCH_*, TOBRUNEL_JOBS).
set -uo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
runs=${TOBRUNEL_BENCH_RUNS:-15}
script_runs=${TOBRUNEL_BENCH_SCRIPT_RUNS:-9}
calls=${TOBRUNEL_BENCH_CALLS:-100000}
extra=${TOBRUNEL_BENCH_EXTRA_SERVICES:-100}
scaling_runs=${TOBRUNEL_BENCH_SCALING_RUNS:-5}
export CMAKE_BUILD_PARALLEL_LEVEL=${TOBRUNEL_JOBS:-2}

mkdir -p build
for preset in bench-native bench-windows; do
    echo "bench: building (preset $preset)" >&2
    { cmake --preset $preset && cmake --build --preset $preset; } >"build/$preset.log" 2>&1 || {
        tail -n 40 "build/$preset.log" >&2
        exit 1
    }
done

run=build/bench-windows/wine-run # the build's launcher: its own loader, its own prefix
# Windows programs start in this directory (as Z:\...), so the scripts' relative paths reach them.
bench_dir=build/bench-windows/bench/windows
dll=build/bench-windows/server/Tobrunel.dll
# leave_prefix, on every way out (after a failure or an interrupt too): no extra services left,
# the DLL unregistered, the prefix's server stopped.
leave_prefix() {
    "$run" "$bench_dir/bench_refresh.exe" remove &>/dev/null
    "$run" regsvr32 /u /s "$dll" &>/dev/null
    "$run" --stop
}
trap leave_prefix EXIT
trap 'exit 130' INT TERM
"$run" --start || exit 1
"$run" regsvr32 /s "$dll" || { echo "bench: regsvr32 could not register $dll" >&2 && exit 1; }
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

echo "bench: the floor against the component's own calls" >&2
check=$("$run" "$bench_dir/bench_refresh.exe" check 2>&1 | tr -d '\r')
[[ $check == *$'\nsame calls'* ]] || check="DIFFERENT: $(tail -n 3 <<<"$check" | tr '\n' ' ')"
rows=$({
    trap 'exit 130' INT TERM # Wine's programs end normally on an interrupt: stop after this one
    "$run" "$bench_dir/bench_refresh.exe" table "$runs" "$script_runs" "$extra" &&
        "$run" "$bench_dir/bench_latebound.exe" "$calls" 5 "$script_runs" &&
        build/bench-native/bench/bench_scaling "$scaling_runs"
} | tr -d '\r')
status=$?
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

echo
echo "Tobrunel benchmarks: medians; $runs refresh rounds, $script_runs runs of each script," \
    "late-bound loops of $calls calls"
echo "load average before: $load_before, after: $load_after ($(nproc) cores)"
echo "floor check: ${check%%$'\n'*}"
echo "ratio of a refresh row: the median over rounds of DLL/floor, the two run next to each other"
echo
printf '%-50s %11s %11s %8s  %s\n' figure measured reference ratio columns \
    ------ -------- --------- ----- -------
printf '%s\n' "$rows"
exit $status
