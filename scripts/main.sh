#!/usr/bin/env bash
# main.sh: the main job. Installs what is missing, builds the Windows build, and runs the
# component under Wine in the build's private prefix, printing what it shows.
#
# Settings: TOBRUNEL_BUILD_ROOT (default build/), TOBRUNEL_JOBS (default 2), TOBRUNEL_WINDOWS_ARCH
# (i686, x86_64 or auto: i686 where this machine runs 32-bit programs, else x86_64).
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
builds=${TOBRUNEL_BUILD_ROOT:-$root/build}
jobs=${TOBRUNEL_JOBS:-2}
# shellcheck source=scripts/wine-harness.sh
source "$root/scripts/wine-harness.sh"

"$root/scripts/setup.sh" || exit 1

arch=$(wine_harness_windows_arch)
dir="$builds/windows-$arch"
mkdir -p "$dir"
export TOBRUNEL_WINEPREFIX="$dir/wineprefix"
export TOBRUNEL_WINEARCH=win32
[[ "$arch" == x86_64 ]] && TOBRUNEL_WINEARCH=win64

wine_harness_start || exit 1
trap 'wine_harness_stop' EXIT

echo "=== building the Windows build ($arch) in $dir" >&2
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" >"$dir.configure.log" 2>&1 || {
    cat "$dir.configure.log" >&2
    exit 1
}
cmake --build "$dir" -j "$jobs" >&2 || exit 1

# ---- MAIN JOB: the server work replaces this block with registering Tobrunel.dll ------------
# ---- (wine_harness_wine regsvr32 /s "$(wine_harness_windows_path <dll>)") and running ----------
# ---- examples/list-services.vbs through cscript. Until then: the core's unit suite. -----------
echo "=== the core's unit suite, Windows build, under Wine" >&2
wine_harness_wine "$dir/tests/unit_tests.exe"
status=$?
# ---- END OF MAIN JOB --------------------------------------------------------------------------

exit $status
