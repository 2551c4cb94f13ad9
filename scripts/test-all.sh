#!/usr/bin/env bash
# test-all.sh [SUITE...]: installs what is missing (scripts/setup.sh), runs every test suite or the
# ones named (format native sanitize fuzz windows-i686 windows-x86_64; README.md says what each
# holds), prints each suite's summary line and exits non-zero when any suite fails. Each suite but
# format is `cmake --workflow --preset SUITE` in build/SUITE, its summary the count of its checks,
# its whole output in build/SUITE.log. TOBRUNEL_JOBS (default 2): parallel jobs of builds and CTest.
set -uo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
export CMAKE_BUILD_PARALLEL_LEVEL=${TOBRUNEL_JOBS:-2} CTEST_PARALLEL_LEVEL=${TOBRUNEL_JOBS:-2}
summaries=()
failures=0
totals=(0 0 0)

# record SUITE TEXT [failed]: one line of the final summary, with the suite's time.
record() {
    summaries+=("$(printf '%-16s %-62s %4d s' "$1:" "$2" $((SECONDS - suite_started)))")
    [[ "${3:-}" != failed ]] || failures=$((failures + 1))
}

format_suite() {
    local files
    mapfile -t files < <(git ls-files '*.cpp' '*.h')
    if clang-format --dry-run -Werror "${files[@]}"; then
        record format "${#files[@]} files formatted"
    else
        record format "FILES NOT FORMATTED (clang-format -i them)" failed
    fi
}

# workflow_suite SUITE: a run that never reached CTest's summary line failed. The summary counts
# the checks apart from the fixtures (tests labelled `fixture`, which start and stop the Wine
# prefix), with the skipped ones, says how many of them check the Windows Installer package
# (label `package`), and adds the note the build left (32-bit programs, say).
workflow_suite() {
    local status fixtures counts passed failed skipped fixture_runs package_checks note=
    cmake --workflow --preset "$1" 2>&1 | tee "build/$1.log"
    status=${PIPESTATUS[0]}
    if ! grep -qE '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "build/$1.log"; then
        record "$1" "NO CTEST SUMMARY (exit $status; see build/$1.log)" failed
        return
    fi
    fixtures=$(ctest --test-dir "build/$1" -N -L '^fixture$' | awk '$1 == "Test" { print $3 }')
    read -r passed failed skipped fixture_runs < <(grep -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: ' \
        "build/$1.log" | awk -v fixtures="$fixtures" '
        BEGIN { split(fixtures, names); for (i in names) fixture[names[i]] = 1 }
        $4 in fixture { f++; next }
        / Passed / { p++; next }
        /\*\*\*Skipped / { s++; next }
        { x++ }
        END { print p + 0, x + 0, s + 0, f + 0 }')
    counts="$((passed + failed + skipped)) checks: $passed passed, $failed failed, $skipped skipped"
    counts+=" (+$fixture_runs fixtures)"
    # The checks of the Windows Installer package (label `package`), counted among the above;
    # -FA keeps the fixtures they require out of the count.
    package_checks=$(ctest --test-dir "build/$1" -N -L '^package$' -FA '.*' |
        awk '$1 == "Test" && $2 ~ /^#/ { n++ } END { print n + 0 }')
    [[ $package_checks -eq 0 ]] || counts+=", $package_checks of them the installer package's"
    totals=($((totals[0] + passed)) $((totals[1] + failed)) $((totals[2] + skipped)))
    [[ ! -f "build/$1/summary-note.txt" ]] || note=" ($(<"build/$1/summary-note.txt"))"
    record "$1" "$counts$note" "$([[ $status -eq 0 ]] || echo failed)"
}

scripts/setup.sh || exit 1
mkdir -p build
# An interrupted CTest runs no cleanup test: stop the Windows builds' prefixes here instead.
trap 'for run in build/windows-*/wine-run*; do "$run" --stop; done; exit 130' INT TERM
started=$SECONDS
[[ $# -gt 0 ]] || set -- format native sanitize fuzz windows-i686 windows-x86_64
for suite in "$@"; do
    echo "=== $suite"
    suite_started=$SECONDS
    case $suite in
    format) format_suite ;;
    *) workflow_suite "$suite" ;;
    esac
done

echo
echo "=== Summary ($((SECONDS - started)) s)"
printf '%s\n' "${summaries[@]}"
echo "Checks: ${totals[0]} passed, ${totals[1]} failed, ${totals[2]} skipped"
if [[ $failures -ne 0 ]]; then
    echo "FAILED: $failures suite(s)"
    exit 1
fi
echo "All suites passed."
