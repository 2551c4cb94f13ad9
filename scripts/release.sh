#!/usr/bin/env bash
# release.sh: the release packages. Builds Tobrunel.dll for 32-bit and 64-bit Windows (Release,
# in build/release-win32 and build/release-win64), packs each with CPack and writes
#
#   dist/Tobrunel-<version>-win32.zip   the 32-bit DLL, the examples, README-Windows.txt
#   dist/Tobrunel-<version>-win64.zip   the same with the 64-bit DLL
#   dist/SHA256SUMS
#
# The builds and the archives are reproducible: the same commit gives the same checksums in any
# directory, on any machine with the packages of scripts/setup.sh.
#
#   scripts/release.sh [--verify]
#
#   --verify   then clone this commit into a temporary directory, release it there from clean
#              builds, and fail unless its SHA256SUMS equals this one (twice the time)
#
# Settings: TOBRUNEL_BUILD_ROOT (default build/), TOBRUNEL_JOBS (default 2), SOURCE_DATE_EPOCH
# (the archives' file times; default the commit's time).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
builds=${TOBRUNEL_BUILD_ROOT:-$root/build}
jobs=${TOBRUNEL_JOBS:-2}
dist="$root/dist"
verify=0
for argument in "$@"; do
    case "$argument" in
    --verify) verify=1 ;;
    *)
        sed -n '2,/^$/s/^# \{0,1\}//p' "${BASH_SOURCE[0]}" >&2
        exit 2
        ;;
    esac
done

"$root/scripts/setup.sh"
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)}
export SOURCE_DATE_EPOCH

mkdir -p "$dist" "$builds"
packages=()
for target in win32:i686 win64:x86_64; do
    platform=${target%%:*}
    dir="$builds/release-$platform"
    echo "=== $platform: Release build in $dir" >&2
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-${target#*:}.cmake" >"$dir.configure.log" 2>&1 || {
        cat "$dir.configure.log" >&2
        exit 1
    }
    status=0
    cmake --build "$dir" -j "$jobs" --target Tobrunel >&2 || status=$?
    # The type-library writer ran in the build's prefix; leave no Wine server behind.
    WINEPREFIX="$dir/wineprefix" wineserver -k 2>/dev/null || true
    [[ $status -eq 0 ]] || exit $status
    (cd "$dir" && cpack -G ZIP) >&2
    package=$(cd "$dir" && ls Tobrunel-*-"$platform".zip)
    cp "$dir/$package" "$dist/$package"
    packages+=("$package")
done
(cd "$dist" && sha256sum "${packages[@]}" >SHA256SUMS)
cat "$dist/SHA256SUMS"

if [[ $verify -eq 1 ]]; then
    clone=$(mktemp -d "${TMPDIR:-/tmp}/tobrunel-release.XXXXXX")
    trap 'rm -rf "$clone"' EXIT
    echo "=== --verify: releasing $(git -C "$root" rev-parse --short HEAD) again in $clone" >&2
    git clone -q "$root" "$clone/source"
    TOBRUNEL_BUILD_ROOT="$clone/build" "$clone/source/scripts/release.sh" >/dev/null
    if ! cmp -s "$dist/SHA256SUMS" "$clone/source/dist/SHA256SUMS"; then
        echo "release.sh: a clean release elsewhere gave other bytes:" >&2
        diff "$dist/SHA256SUMS" "$clone/source/dist/SHA256SUMS" >&2
        exit 1
    fi
    echo "=== --verify: the same checksums from a clean release in another directory" >&2
fi
