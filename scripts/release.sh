#!/usr/bin/env bash
# release.sh [--verify]: the release packages. Runs the workflow presets release-win32 and
# release-win64 (a Release build of Tobrunel.dll in build/release-win32|win64, packed by CPack)
# and writes
#
#   dist/Tobrunel-<version>-win32.zip   the 32-bit DLL and its Tobrunel.manifest, the examples,
#                                       README-Windows.txt
#   dist/Tobrunel-<version>-win64.zip   the same with the 64-bit DLL
#   dist/SHA256SUMS
#
# The same commit gives the same checksums in any directory. --verify then clones this commit
# into a temporary directory, releases it there from clean builds and fails unless its SHA256SUMS
# is the same (twice the time). SOURCE_DATE_EPOCH: the archives' file times (default: the
# commit's time). TOBRUNEL_JOBS (default 2): build jobs.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
case "${1:-}" in
'' | --verify) ;;
*) sed -n '2,/^$/s/^# \{0,1\}//p' "${BASH_SOURCE[0]}" >&2 && exit 2 ;;
esac

scripts/setup.sh
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export CMAKE_BUILD_PARALLEL_LEVEL=${TOBRUNEL_JOBS:-2}
rm -f dist/Tobrunel-*.zip dist/SHA256SUMS
for platform in win32 win64; do
    echo "=== release-$platform" >&2
    status=0
    cmake --workflow --preset "release-$platform" >&2 || status=$?
    # The type-library writer ran in the build's prefix: leave no Wine server behind.
    "build/release-$platform/wine-run" --stop || true
    [[ $status -eq 0 ]] || exit $status
done
(cd dist && sha256sum Tobrunel-*-win32.zip Tobrunel-*-win64.zip >SHA256SUMS && cat SHA256SUMS)

if [[ "${1:-}" == --verify ]]; then
    clone=$(mktemp -d "${TMPDIR:-/tmp}/tobrunel-release.XXXXXX")
    trap 'rm -rf "$clone"' EXIT
    echo "=== --verify: releasing $(git rev-parse --short HEAD) again in $clone" >&2
    git clone -q . "$clone"
    "$clone/scripts/release.sh" >/dev/null
    if ! cmp -s dist/SHA256SUMS "$clone/dist/SHA256SUMS"; then
        echo "release.sh: a clean release elsewhere gave other bytes:" >&2
        diff dist/SHA256SUMS "$clone/dist/SHA256SUMS" >&2
        exit 1
    fi
    echo "=== --verify: the same checksums from a clean release in another directory" >&2
fi
