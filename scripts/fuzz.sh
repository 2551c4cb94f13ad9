#!/usr/bin/env bash
# fuzz.sh [SECONDS]: builds the libFuzzer targets with clang and runs each for SECONDS (default
# 20), starting from the seeds checked in under tests/fuzz/corpus/<target> and whatever earlier
# runs kept in the build's corpus; ends with "N passed, N failed" (one per target) and exits
# non-zero when a target finds a crash. A longer run:
#   scripts/fuzz.sh 1800
set -euo pipefail

seconds=${1:-20}
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TOBRUNEL_FUZZ_BUILD_DIR:-$top/build/fuzz}

CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTOBRUNEL_FUZZ=ON >/dev/null
cmake --build "$build" -j2 >/dev/null

passed=0
failed=0
for target in FuzzDependencyText FuzzBoundaryCopies; do
    corpus=$build/corpus/$target
    seeds=$top/tests/fuzz/corpus/$target
    mkdir -p "$corpus"
    # New inputs go to the first directory only, so the checked-in seeds stay as they are.
    corpora=("$corpus")
    [[ -d "$seeds" ]] && corpora+=("$seeds")
    # A crash leaves its input beside the build as crash-*; turn it into a regression test.
    if "$build/tests/fuzz/$target" -max_total_time="$seconds" -max_len=4096 \
        -artifact_prefix="$build/$target-" "${corpora[@]}" >"$build/$target.log" 2>&1; then
        echo "$target: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$build/$target.log")"
        passed=$((passed + 1))
    else
        echo "$target: FAILED (see $build/$target.log)"
        tail -20 "$build/$target.log"
        failed=$((failed + 1))
    fi
done
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
