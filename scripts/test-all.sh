#!/usr/bin/env bash
# test-all.sh: builds and runs every test suite, prints each suite's CTest summary line, and exits
# non-zero when any suite fails. Installs what is missing first (scripts/setup.sh).
#
#   format          clang-format check of every tracked C++ file
#   native          g++; the unit suite
#   sanitize        g++ with AddressSanitizer and UndefinedBehaviorSanitizer; the unit suite
#   fuzz            clang libFuzzer targets, a short bounded run each (scripts/fuzz.sh)
#   windows-i686    mingw-w64 i686; the 32-bit DLL's checks read as data by 64-bit programs, and
#                   where this machine runs 32-bit programs the unit suite and every test of
#                   tests/wine as well, under Wine in the build's private win64 prefix, with a warm
#                   server (scripts/wine-harness.sh)
#   windows-x86_64  mingw-w64 x86_64; the same suites on the 64-bit DLL
#
# Settings: TOBRUNEL_BUILD_ROOT (default build/), TOBRUNEL_JOBS (default 2),
# TOBRUNEL_WINDOWS_ARCH (i686, x86_64 or auto; default auto: both).
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
builds=${TOBRUNEL_BUILD_ROOT:-$root/build}
jobs=${TOBRUNEL_JOBS:-2}
# shellcheck source=scripts/wine-harness.sh
source "$root/scripts/wine-harness.sh"

summaries=()
failures=0
suite_started=$SECONDS

# record SUITE TEXT [failed]: one line of the final summary, with the suite's time.
record() {
    summaries+=("$(printf '%-16s %-60s %4d s' "$1:" "$2" $((SECONDS - suite_started)))")
    if [[ "${3:-}" == failed ]]; then
        failures=$((failures + 1))
    fi
}

# configure_and_build SUITE DIR TARGETS CMAKE_ARG...: TARGETS is "all" or a space-separated list.
configure_and_build() {
    local suite=$1 dir=$2 targets=$3
    shift 3
    echo "=== $suite: configure and build ($dir)"
    if ! cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug "$@" >"$dir.configure.log" 2>&1; then
        cat "$dir.configure.log"
        record "$suite" "CONFIGURE FAILED (see $dir.configure.log)" failed
        return 1
    fi
    local target_args=()
    if [[ "$targets" != all ]]; then
        # shellcheck disable=SC2206 # a list of target names
        target_args=(--target $targets)
    fi
    if ! cmake --build "$dir" -j "$jobs" "${target_args[@]}"; then
        record "$suite" "BUILD FAILED" failed
        return 1
    fi
}

# run_ctest SUITE DIR [NOTE]: runs the suite's tests and records CTest's summary line (and NOTE);
# a run without one counts as a failure.
run_ctest() {
    local suite=$1 dir=$2 note=${3:-} log status=0 line
    log="$dir.ctest.log"
    echo "=== $suite: ctest"
    (cd "$dir" && ctest -j "$jobs" --output-on-failure --timeout 600) 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    [[ -n "$line" && -n "$note" ]] && line="$line $note"
    if [[ -z "$line" ]]; then
        record "$suite" "NO CTEST SUMMARY (exit $status)" failed
        return 1
    fi
    if [[ $status -ne 0 ]]; then
        record "$suite" "$line" failed
        return 1
    fi
    record "$suite" "$line"
}

native_suite() {
    local suite=$1 dir="$builds/$1"
    shift
    suite_started=$SECONDS
    mkdir -p "$dir"
    configure_and_build "$suite" "$dir" all "$@" && run_ctest "$suite" "$dir"
}

# format_suite: every tracked C++ file is as clang-format (the checked-in .clang-format) writes it.
format_suite() {
    local suite=format files
    suite_started=$SECONDS
    echo "=== $suite: clang-format --dry-run"
    mapfile -t files < <(git -C "$root" ls-files '*.cpp' '*.h')
    if (cd "$root" && clang-format --dry-run -Werror "${files[@]}"); then
        record "$suite" "${#files[@]} files formatted"
    else
        record "$suite" "FILES NOT FORMATTED (clang-format -i them)" failed
    fi
}

# fuzz_suite: every libFuzzer target for TOBRUNEL_FUZZ_SECONDS (default 20) from the checked-in
# seeds (scripts/fuzz.sh); its last line is "N passed, N failed", one per target.
fuzz_suite() {
    local suite=fuzz log="$builds/fuzz.log" status line
    suite_started=$SECONDS
    mkdir -p "$builds"
    echo "=== $suite: scripts/fuzz.sh ${TOBRUNEL_FUZZ_SECONDS:-20}"
    TOBRUNEL_FUZZ_BUILD_DIR="$builds/fuzz" "$root/scripts/fuzz.sh" "${TOBRUNEL_FUZZ_SECONDS:-20}" 2>&1 |
        tee "$log"
    status=${PIPESTATUS[0]}
    line=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log" | tail -n 1)
    if [[ -z "$line" ]]; then
        record "$suite" "NO SUMMARY (exit $status)" failed
        return 1
    fi
    if [[ $status -ne 0 ]]; then
        record "$suite" "$line" failed
        return 1
    fi
    record "$suite" "$line"
}

# windows_suite ARCH: the Windows build for ARCH, built and tested inside one warm Wine session
# (programs the build itself runs under Wine use the same prefix).
windows_suite() {
    local arch=$1 suite="windows-$1" dir="$builds/windows-$1" status=0 note=
    suite_started=$SECONDS
    mkdir -p "$dir"
    export TOBRUNEL_WINEPREFIX="$dir/wineprefix"
    # Every prefix is win64: the i686 build's tools are 64-bit programs, and its own programs
    # run there through WoW64 where this machine runs 32-bit programs at all.
    export TOBRUNEL_WINEARCH=win64
    if [[ "$arch" == i686 ]] && ! wine_harness_host_runs_win32; then
        note="(i686 DLL checked as data; 32-bit programs do not run here)"
    fi
    echo "=== $suite: starting Wine ($TOBRUNEL_WINEPREFIX)"
    if ! wine_harness_start; then
        record "$suite" "WINE DID NOT START" failed
        wine_harness_stop
        return 1
    fi
    trap 'wine_harness_stop; exit 130' INT TERM
    configure_and_build "$suite" "$dir" all -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" &&
        run_ctest "$suite" "$dir" "$note" || status=1
    wine_harness_stop || status=1
    trap - INT TERM
    unset TOBRUNEL_WINEPREFIX TOBRUNEL_WINEARCH WINEPREFIX WINEARCH
    return $status
}

main() {
    "$root/scripts/setup.sh" || exit 1
    local started=$SECONDS

    format_suite
    native_suite native
    native_suite sanitize -DTOBRUNEL_SANITIZE=ON
    fuzz_suite

    case "${TOBRUNEL_WINDOWS_ARCH:-auto}" in
    i686 | x86_64) windows_suite "$TOBRUNEL_WINDOWS_ARCH" ;;
    *)
        windows_suite i686
        windows_suite x86_64
        ;;
    esac

    echo
    echo "=== Summary ($((SECONDS - started)) s)"
    printf '%s\n' "${summaries[@]}"
    if [[ $failures -ne 0 ]]; then
        echo "FAILED: $failures suite(s)"
        exit 1
    fi
    echo "All suites passed."
}

main "$@"
