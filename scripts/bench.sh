#!/usr/bin/env bash
# bench.sh: builds the benchmarks through the presets bench-native and bench-windows (Release),
# runs them in the Windows build's own Wine prefix, stops that prefix's server, and prints a table
# of medians: the DLL's overhead on a refresh, a VBScript listing through the DLL against WMI, the
# late-bound cost and the native scaling. Figures only: nothing here fails on time.
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

# --- the prefix -----------------------------------------------------------------------------

# on_windows PROGRAM ARG...: a program in the Windows build's prefix (64-bit loader, no display).
on_windows() {
    build/bench-windows/wine-run "$@"
}
# Windows programs start in the same directory (as Z:\...), so relative paths reach the files.
bench_dir=build/bench-windows/bench/windows
dll=build/bench-windows/server/Tobrunel.dll
scripts=bench/windows/scripts
figures=$(mktemp -d "${TMPDIR:-/tmp}/tobrunel-bench.XXXXXX")

# leave_prefix removes the extra services, unregisters the DLL and stops the prefix's server;
# it runs once, at the end or on the way out after a failure or an interrupt.
prefix_left=0
leave_prefix() {
    ((prefix_left)) && return 0
    prefix_left=1
    on_windows "$bench_dir/bench_refresh.exe" remove >/dev/null 2>&1
    on_windows regsvr32 /u /s "$dll" >/dev/null 2>&1
    on_windows --stop
}
finish() {
    trap - EXIT INT TERM
    leave_prefix
    rm -rf "$figures"
}
trap finish EXIT
trap 'exit 130' INT TERM

on_windows --start || exit 1
if ! on_windows regsvr32 /s "$dll"; then
    echo "bench: regsvr32 could not register $dll" >&2
    exit 1
fi
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

# --- figures --------------------------------------------------------------------------------

# figure FILE KEY: the value of one key=value line.
figure() {
    sed -n "s/^$2=//p" "$1" | tr -d '\r' | tail -n 1
}

median() {
    sort -g | awk '{ v[NR] = $1 } END {
        if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2];
        else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# calc EXPRESSION: awk arithmetic, "n/a" when an operand is missing.
calc() {
    awk "BEGIN { x = $1; printf \"%.3f\", x }" 2>/dev/null || echo n/a
}

# time_script SCRIPT [EXPECTED]: seconds that one cscript run of SCRIPT takes, end to end; empty
# when its output lacks EXPECTED (cscript hides a script's errors).
time_script() {
    local script=$1 expected=${2:-} start end output
    start=$(date +%s.%N)
    output=$(on_windows cscript //nologo "$scripts/$script" 2>&1)
    end=$(date +%s.%N)
    if [[ -n "$expected" && "$output" != *"$expected"* ]]; then
        echo "bench: $script printed no '$expected': $output" >&2
        return 0
    fi
    awk "BEGIN { print $end - $start }"
}

# peer_comparison LABEL: the three scripts, turn about, script_runs times each.
peer_comparison() {
    local label=$1 run
    local side
    for side in dll wmi empty; do
        : >"$figures/$label.$side"
    done
    for ((run = 0; run < script_runs; run++)); do
        time_script list-through-dll.vbs listed >>"$figures/$label.dll"
        time_script list-through-wmi.vbs listed >>"$figures/$label.wmi"
        time_script empty.vbs >>"$figures/$label.empty"
    done
    {
        echo "dll.s=$(median <"$figures/$label.dll")"
        echo "wmi.s=$(median <"$figures/$label.wmi")"
        echo "empty.s=$(median <"$figures/$label.empty")"
    } >>"$figures/$label"
}

# database LABEL: the refresh comparison and the peer comparison on the database as it stands.
database() {
    local label=$1
    echo "bench: refresh, $label ($runs rounds)" >&2
    on_windows "$bench_dir/bench_refresh.exe" measure "$runs" >"$figures/$label"
    echo "bench: scripts, $label ($script_runs runs each)" >&2
    peer_comparison "$label"
}

echo "bench: the floor against the component's own calls" >&2
on_windows "$bench_dir/bench_refresh.exe" check >"$figures/check" 2>&1
check_result=$(head -n 1 "$figures/check" | tr -d '\r')
grep -q '^same calls' "$figures/check" || check_result="DIFFERENT: $(tr -d '\r' <"$figures/check" | tail -n 3 | tr '\n' ' ')"

on_windows "$bench_dir/bench_refresh.exe" remove >/dev/null
database created
on_windows "$bench_dir/bench_refresh.exe" install "$extra" >&2
database extra
on_windows "$bench_dir/bench_refresh.exe" remove >&2

echo "bench: late-bound calls ($calls a loop)" >&2
on_windows "$bench_dir/bench_latebound.exe" "$calls" 5 >"$figures/cpp"
: >"$figures/vbs.runs"
for ((run = 0; run < script_runs; run++)); do
    on_windows cscript //nologo "$scripts/late-bound.vbs" "$calls" |
        tr -d '\r' >>"$figures/vbs.runs"
done
for key in empty_loop.us dll.get.us dll.let.us dictionary.get.us dictionary.let.us; do
    echo "$key=$(sed -n "s/^$key=//p" "$figures/vbs.runs" | median)"
done >"$figures/vbs"
vbs_complete=$(grep -c '^done=1' "$figures/vbs.runs")

echo "bench: native scaling ($scaling_runs runs)" >&2
: >"$figures/scaling"
for ((run = 0; run < scaling_runs; run++)); do
    build/bench-native/bench/bench_scaling >>"$figures/scaling"
done

load_after=$(cut -d' ' -f1-3 /proc/loadavg)
leave_prefix

# --- the table ------------------------------------------------------------------------------

row() {
    printf '%-50s %11s %11s %8s  %s\n' "$@"
}

# comparison_row LABEL FILE PREFIX NOTE: DLL and floor of one turn-about measurement.
comparison_row() {
    local label=$1 file=$2 prefix=$3 note=$4
    row "$label" "$(figure "$file" "$prefix.dll.ms")" "$(figure "$file" "$prefix.floor.ms")" \
        "$(calc "$(figure "$file" "$prefix.paired_ratio")")" \
        "DLL | floor; of medians $(calc "$(figure "$file" "$prefix.ratio")"), of minimums \
$(calc "$(figure "$file" "$prefix.minimum_ratio")")$note"
}

refresh_rows() {
    local file=$figures/$1 label=$2
    comparison_row "1. refresh, $label: $(figure "$file" services) svcs (ms)" "$file" refresh \
        "; target <= 1.05"
    row "   client CPU a refresh (ms)" \
        "$(figure "$file" refresh.dll.cpu_ms)" "$(figure "$file" refresh.floor.cpu_ms)" \
        "$(calc "$(figure "$file" refresh.dll.cpu_ms) / $(figure "$file" refresh.floor.cpu_ms)")" \
        "DLL | floor; all runs' processor time / runs"
    comparison_row "   same, one handle held on the computer name (ms)" "$file" held ""
    row "   open+close manager: none held | one held (ms)" \
        "$(figure "$file" open.none_held.ms)" "$(figure "$file" open.one_held.ms)" \
        "$(calc "$(figure "$file" open.none_held.ms) / $(figure "$file" open.one_held.ms)")" \
        "held on the same name; held on a null name: $(figure "$file" open.null_name_held.ms) ms"
    row "   open, enumerate, close (ms)" "$(figure "$file" enumerate.ms)" "" "" \
        "the part of a refresh not spent per service"
}

script_rows() {
    local file=$figures/$1 label=$2 dll wmi empty
    dll=$(figure "$file" dll.s) wmi=$(figure "$file" wmi.s) empty=$(figure "$file" empty.s)
    row "2. list services from VBScript, $label (s)" "$dll" "$wmi" "$(calc "$dll / $wmi")" \
        "DLL | WMI Win32_Service; cscript run end to end"
    row "   same, less the empty script" "$(calc "$dll - $empty")" "$(calc "$wmi - $empty")" \
        "$(calc "($dll - $empty) / ($wmi - $empty)")" "empty script (cscript start): $empty s"
}

latebound_row() {
    local label=$1 measured=$2 reference=$3 note=$4
    row "$label" "$measured" "$reference" "$(calc "$measured / $reference")" "$note"
}

cpp=$figures/cpp vbs=$figures/vbs
# Each run of bench_scaling prints a row per size (refresh and lookup per service in columns 3
# and 6) and a ratio line; the table shows the run whose ratio is the median, so its figures
# belong together.
median_scaling_run=$(awk '$1 == 1000 { small = $3 + $6 } $1 == 10000 { large = $3 + $6 }
    $1 == "ratio" { print $8, small, large }' "$figures/scaling" | sort -g |
    awk '{ line[NR] = $0 } END { if (NR > 0) print line[int((NR + 1) / 2)] }')
read -r scaling_ratio scaling_small scaling_large <<<"$median_scaling_run"

echo
echo "Tobrunel benchmarks: medians; $runs refresh rounds, $script_runs runs of each script," \
    "late-bound loops of $calls calls"
echo "load average before: $load_before, after: $load_after ($(nproc) cores)"
echo "floor check: $check_result"
echo "ratio of a refresh row: the median over rounds of DLL/floor, the two run next to each other"
echo
row "figure" "measured" "reference" "ratio" "columns"
row "------" "--------" "---------" "-----" "-------"
refresh_rows created "as created"
refresh_rows extra "+$extra"
script_rows created "as created"
script_rows extra "+$extra"
latebound_row "3. property get from VBScript (us)" "$(figure "$vbs" dll.get.us)" \
    "$(figure "$vbs" dictionary.get.us)" "CurrentState | Scripting.Dictionary Count"
latebound_row "   property let, variable, from VBScript (us)" "$(figure "$vbs" dll.let.us)" \
    "$(figure "$vbs" dictionary.let.us)" "ComputerName (text) | Dictionary CompareMode"
row "   VBScript loop overhead, subtracted (us)" "$(figure "$vbs" empty_loop.us)" "" "" \
    "one empty For iteration"
latebound_row "   get from C++: DLL's IDispatch | ITypeInfo (us)" \
    "$(figure "$cpp" dispatch.get.us)" "$(figure "$cpp" typeinfo.get.us)" \
    "CurrentState: IDispatch::Invoke | ITypeInfo::Invoke"
latebound_row "   let from C++: DLL's IDispatch | ITypeInfo (us)" \
    "$(figure "$cpp" dispatch.let.us)" "$(figure "$cpp" typeinfo.let.us)" \
    "ComputerName: by-ref VARIANT, as scripts send | BSTR"
latebound_row "   GetIDsOfNames from C++ (us)" "$(figure "$cpp" dispatch.names_get.us)" \
    "$(figure "$cpp" dictionary.names.us)" \
    "CurrentState | Dictionary Count; ComputerName $(figure "$cpp" dispatch.names_let.us) us"
row "   get | let through the vtable from C++ (us)" "$(figure "$cpp" vtable.get.us)" \
    "$(figure "$cpp" vtable.let.us)" "" "early bound, for scale"
row "4. native refresh + Item by name (us/service)" "${scaling_small:-}" "${scaling_large:-}" \
    "${scaling_ratio:-}" "1,000 | 10,000 simulated; ratio of totals, target <= 11; median run"
row "   ratio 10000/1000 of each run" "" "" "" \
    "$(sed -n 's/.*both \([0-9.]*\).*/\1/p' "$figures/scaling" | tr '\n' ' ')"
if [[ "$vbs_complete" -ne "$script_runs" ]]; then
    echo "warning: late-bound.vbs finished $vbs_complete of $script_runs runs" >&2
fi
echo
echo "native scaling, as printed by the last run of bench_scaling:"
tail -n 4 "$figures/scaling" | sed 's/^/  /'
