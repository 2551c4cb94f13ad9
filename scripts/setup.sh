#!/usr/bin/env bash
# setup.sh: installs whatever the builds and tests need on Debian 12 (run as root when something
# is missing). Costs a few dpkg queries when everything is already there.
#
# A package mirror caught mid-sync may serve an index that does not match its release file ("File
# has unexpected size ... Mirror sync in progress?"): the index update is tried again, and when
# the install then cannot give the i386 libraries the version of their amd64 twins ("held broken
# packages"), it is made again from only the suites whose indexes are whole for both
# architectures. Failing that, the rest is installed without wine32:i386, and the one file of it
# that every build needs, the 32-bit stdole2.tlb, is taken from its package into /usr/local (its
# presence then stands for wine32:i386 here; delete it to try again): the i686 DLL is still built
# and checked as data. The last line says which of these happened.
set -euo pipefail

packages=(
    cmake g++ ninja-build googletest
    clang clang-format libclang-rt-14-dev
    wine wine32:i386 wine64
    mingw-w64 mingw-w64-tools
    procps util-linux zip
    wixl msitools faketime osslsigncode openssl
)

stdole2_alone=/usr/local/lib/i386-linux-gnu/wine/i386-windows/stdole2.tlb

installed() {
    [[ $(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null) == installed ]] ||
        [[ $1 == wine32:i386 && -e $stdole2_alone ]]
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

# update: the index update, tried three times over about a minute; true when every index came.
update() {
    local attempt
    for attempt in 1 2 3; do
        apt-get update -q && return 0
        [[ $attempt -eq 3 ]] || sleep 30
    done
    return 1
}

# whole_suites FILE: writes to FILE a sources list of the suites that have a package index for both
# amd64 and i386 in each of their components (apt lists the indexes it holds); false when that
# leaves out none of the suites, or keeps none.
whole_suites() {
    apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT) $(ARCHITECTURE)' \
        'Identifier: Packages' |
        awk -v out="$1" '
            { suite = $1 " " $2; if (!(suite in components)) order[++n] = suite }
            !index(components[suite] " ", " " $3 " ") { components[suite] = components[suite] " " $3 }
            { held[suite, $3, $4] = 1 }
            END {
                for (i = 1; i <= n; ++i) {
                    suite = order[i]; whole = 1
                    split(components[suite], names, " ")
                    for (c in names) whole = whole && held[suite, names[c], "amd64"] && held[suite, names[c], "i386"]
                    if (whole) { print "deb [arch=amd64,i386] " suite components[suite] > out; ++kept }
                }
                exit !(kept > 0 && kept < n)
            }'
}

apt_install() {
    apt-get install -y -q "$@" "${missing[@]}" </dev/null
}

take_stdole2() {
    local package
    package=$(mktemp -d)
    chmod 755 "$package"
    (cd "$package" && apt-get download -q libwine:i386 && dpkg-deb -x libwine_*_i386.deb files)
    install -D -m 644 "$package/files/usr${stdole2_alone#/usr/local}" "$stdole2_alone"
    rm -rf "$package"
}

outcome="installed from the full package lists"
update || outcome="installed although the index update failed three times"
if ! apt_install; then
    whole=$(mktemp)
    trap 'rm -f "$whole"' EXIT
    if whole_suites "$whole" &&
        apt_install -o Dir::Etc::sourcelist="$whole" -o Dir::Etc::sourceparts=-; then
        outcome="installed from the suites whose indexes are whole for both architectures: $(
            awk '{ printf "%s%s", sep, $4; sep = ", " }' "$whole")"
    else
        rest=()
        for package in "${missing[@]}"; do
            [[ $package == wine32:i386 ]] || rest+=("$package")
        done
        missing=("${rest[@]}")
        if [[ ${#missing[@]} -ne 0 ]] && ! apt_install; then
            echo "setup.sh: nothing could be installed, not even without wine32:i386 (see above)" >&2
            exit 1
        fi
        take_stdole2
        outcome="installed without wine32:i386, which could not be installed; its stdole2.tlb is in /usr/local: the i686 DLL is built and checked as data"
    fi
fi
echo "setup.sh: $outcome" >&2
