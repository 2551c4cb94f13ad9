#!/usr/bin/env bash
# release.sh [--verify]: the release packages. For each width it configures and builds the
# Release preset (release-win32, release-win64: Tobrunel.dll in build/release-win32|win64), signs
# the DLL when a certificate is given, builds the Windows Installer package from the signed DLL,
# signs the package, and lets CPack zip the install tree, and writes
#
#   dist/Tobrunel-<version>-win32.zip   the 32-bit DLL and its Tobrunel.manifest, the examples,
#                                       README-Windows.txt and Tobrunel.wxs, the WiX fragment
#                                       for installer authors
#   dist/Tobrunel-<version>-win64.zip   the same with the 64-bit DLL
#   dist/Tobrunel-<version>-win32.msi   the Windows Installer package, per machine, into
#                                       Program Files (x86)\Tobrunel, registered from its tables
#   dist/Tobrunel-<version>-win64.msi   the same into Program Files\Tobrunel
#   dist/SHA256SUMS
#
# Signing (Authenticode, osslsigncode; scripts/sign-windows.sh): set TOBRUNEL_SIGNING_CERT (the
# certificate with its chain, PEM) and TOBRUNEL_SIGNING_KEY (its private key, PEM), and where
# needed TOBRUNEL_SIGNING_KEY_PASSWORD and TOBRUNEL_SIGNING_TIMESTAMP_URL. Without the first two
# the release is unsigned, and says so in one line.
#
# Unsigned, the same commit gives the same checksums in any directory (a signature holds the time
# of signing). --verify then clones this commit into a temporary directory, releases it there
# from clean builds and fails unless its SHA256SUMS is the same (twice the time).
# SOURCE_DATE_EPOCH: the archives' file times and the packages' clock (default: the commit's
# time). TOBRUNEL_JOBS (default 2): build jobs.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
case "${1:-}" in
'' | --verify) ;;
*) sed -n '2,/^$/s/^# \{0,1\}//p' "${BASH_SOURCE[0]}" >&2 && exit 2 ;;
esac

scripts/setup.sh
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export CMAKE_BUILD_PARALLEL_LEVEL=${TOBRUNEL_JOBS:-2}
signing=0
if [[ -n "${TOBRUNEL_SIGNING_CERT:-}" && -n "${TOBRUNEL_SIGNING_KEY:-}" ]]; then
    signing=1
else
    echo "release.sh: unsigned (TOBRUNEL_SIGNING_CERT and TOBRUNEL_SIGNING_KEY are not set)" >&2
fi
# sign FILE: signs FILE in place when a certificate is given.
sign() {
    [[ $signing -eq 0 ]] || scripts/sign-windows.sh "$1"
}

rm -f dist/Tobrunel-*.zip dist/Tobrunel-*.msi dist/SHA256SUMS
mkdir -p dist
for platform in win32 win64; do
    echo "=== release-$platform" >&2
    build=build/release-$platform
    status=0
    {
        cmake --preset "release-$platform" &&
            # Linked anew each time: a DLL signed by an earlier run is never shipped unsigned.
            rm -f "$build/server/Tobrunel.dll" &&
            cmake --build --preset "release-$platform" --target Tobrunel &&
            sign "$build/server/Tobrunel.dll" &&
            cmake --build --preset "release-$platform" --target installer_package &&
            sign "$build"/packaging/Tobrunel-*-"$platform".msi &&
            cp "$build"/packaging/Tobrunel-*-"$platform".msi dist/ &&
            cpack --preset "$platform"
    } >&2 || status=$?
    # The build's writers ran in the build's prefix: leave no Wine server behind.
    "$build/wine-run" --stop || true
    [[ $status -eq 0 ]] || exit $status
done
(cd dist && sha256sum Tobrunel-*-win32.zip Tobrunel-*-win64.zip Tobrunel-*-win32.msi \
    Tobrunel-*-win64.msi >SHA256SUMS && cat SHA256SUMS)

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
