#!/usr/bin/env bash
# setup.sh: installs whatever the builds and tests need on Debian 12 (run as root when something
# is missing). Costs a few dpkg queries when everything is already there.
set -euo pipefail

packages=(
    cmake g++ ninja-build googletest
    clang clang-format libclang-rt-14-dev
    wine wine32:i386 wine64
    mingw-w64 mingw-w64-tools
    procps util-linux zip
)

installed() {
    [[ $(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null) == installed ]]
}

missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done
needs_i386=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    needs_i386=1
fi

if [[ ${#missing[@]} -eq 0 && $needs_i386 -eq 0 ]]; then
    exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
    echo "setup.sh: missing: ${missing[*]:-the i386 architecture}; run scripts/setup.sh as root" >&2
    exit 1
fi

echo "setup.sh: installing ${missing[*]:-nothing new (adding i386)}" >&2
if [[ $needs_i386 -eq 1 ]]; then
    dpkg --add-architecture i386
fi
# CI runs with no standard input: no question may be asked.
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q "${missing[@]}" </dev/null
