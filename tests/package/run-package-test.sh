#!/usr/bin/env bash
# run-package-test.sh STEP LAUNCHER OWN_LAUNCHER PACKAGE PLATFORM WORKDIR [ARG...]: one step of
# installing the Windows Installer package in LAUNCHER's prefix, a prefix of its own in which the
# DLL was never registered. LAUNCHER runs 64-bit programs there (msiexec, regedit), OWN_LAUNCHER
# programs of the DLL's width (cscript, the client, regsvr32). The steps share WORKDIR and run in
# this order:
#
#   install LISTING TREE   msiexec /i: HKEY_CLASSES_ROOT gains exactly the listing's "reg" lines
#                          in the package's own view ($DLL, $DIR and $PLATFORM for the installed
#                          path), and the folder holds the install tree TREE, byte for byte
#   clients CLIENT         cscript lists the services with the installed examples\list-services.vbs
#                          and the C++ CLIENT creates both classes
#   repair TREE            the installed DLL deleted, /i with REINSTALL=ALL REINSTALLMODE=a (what
#                          /fa stands for) puts it back and leaves the registry as installed
#   uninstall              msiexec /x: the registry is as before the install and the folder gone
#   regsvr32 DLL           DLL copied to the installed path and registered by regsvr32: it adds
#                          in every view exactly what the package added (for win32, and the
#                          interfaces in the 64-bit view, which a 32-bit package cannot write)
#   signed LISTING TREE SIGNER
#                          SIGNER (scripts/sign-windows.sh) signs the package and TREE's DLL with
#                          a certificate made for the test; osslsigncode verifies both, and the
#                          signed package installs as above and uninstalls
#
# PLATFORM is win32 or win64. msiexec's exit status is reported but never trusted: every step
# reads the registry (regedit /E) and the files.
set -uo pipefail

if [[ $# -lt 6 ]]; then
    sed -n '2,/^$/s/^# \{0,1\}//p' "${BASH_SOURCE[0]}" >&2
    exit 2
fi
step=$1 run=$2 own=$3 package=$4 platform=$5 workdir=$6
shift 6

fail() {
    echo "run-package-test ($step): $*" >&2
    exit 1
}

prefix=$(sed -n 's/.*--prefix "\([^"]*\)".*/\1/p' "$run")
[[ -d "$prefix" ]] || "$run" cmd.exe /c exit 0 >/dev/null 2>&1
[[ -d "$prefix/drive_c" ]] || fail "no prefix behind $run"
if [[ $platform == win64 ]]; then
    folder='C:\Program Files\Tobrunel'
    unix_folder="$prefix/drive_c/Program Files/Tobrunel"
    own_view=''
else
    folder='C:\Program Files (x86)\Tobrunel'
    unix_folder="$prefix/drive_c/Program Files (x86)/Tobrunel"
    own_view='wow6432node\'
fi
dll_path="$folder\\Tobrunel.dll"
mkdir -p "$workdir" || fail "cannot make $workdir"
# The package is installed from a Windows path in the prefix, as msiexec expects.
msi="$prefix/drive_c/$(basename "$package")"

# classes: HKLM\Software\Classes (both views: Wow6432Node is the 32-bit one) as sorted lines
# "key = data" or "key [name] = data", the key in lower case (the registry ignores case), and
# "key (key)" for every key. Paths of the installed DLL and folder read as $DLL and $DIR.
classes() {
    rm -f "$prefix/drive_c/classes.reg"
    "$run" regedit.exe /E 'C:\classes.reg' 'HKEY_LOCAL_MACHINE\Software\Classes' >/dev/null 2>&1
    [[ -s "$prefix/drive_c/classes.reg" ]] || fail "regedit exported nothing"
    iconv -f UTF-16 -t UTF-8 "$prefix/drive_c/classes.reg" | tr -d '\r' |
        awk -v dll="$dll_path" -v dir="$folder" '
        function unescape(text) { gsub(/\\\\/, "\001", text); gsub(/\\"/, "\"", text);
                                  gsub(/\001/, "\\", text); return text }
        /^\[HKEY_LOCAL_MACHINE\\Software\\Classes\\/ {
            key = tolower(substr($0, 38, length($0) - 38)); print key " (key)"; next }
        /^\[/ { key = ""; next }
        key == "" || /^ / || !/=/ { next }
        {
            at = index($0, "="); name = substr($0, 1, at - 1); data = substr($0, at + 1)
            name = (name == "@") ? "" : " [" tolower(unescape(substr(name, 2, length(name) - 2))) "]"
            if (data ~ /^".*"$/) {
                data = unescape(substr(data, 2, length(data) - 2))
                if (tolower(data) == tolower(dll)) data = "$DLL"
                else if (tolower(data) == tolower(dir)) data = "$DIR"
            } else {
                data = "(" substr(data, 1, index(data ":", ":") - 1) ")"
            }
            print key name " = " data
        }' | LC_ALL=C sort -u
}

# own_records FILE: FILE but for Windows Installer's records of its products (which a repair
# updates).
own_records() {
    grep -v -E '^(wow6432node\\)?installer( |\\)' "$1"
}

# shared_views: the lines read, with the keys that Windows shares between the 32-bit and the
# 64-bit view (all of HKEY_CLASSES_ROOT but CLSID and Interface, of what the component writes)
# in one place. Wine keeps them apart: its 32-bit regsvr32 writes a ProgID where the 64-bit view
# has it, its msiexec writes a 32-bit component's under Wow6432Node; clients of either width
# find both.
shared_views() {
    sed -E '/^wow6432node\\(clsid|interface)\\/!s/^wow6432node\\//' | LC_ALL=C sort -u
}

# write_roots LISTING: the keys under which the listing's entries lie (a ProgID, or a class, an
# interface or the library under its parent), into WORKDIR for the later steps.
write_roots() {
    sed -n 's/^reg \([^ ]*\).*/\1/p' "$1" | tr 'A-Z' 'a-z' |
        awk -F'\\' '{ print ($1 ~ /^(clsid|interface|typelib)$/) ? $1 "\\" $2 : $1 }' |
        sort -u >"$workdir/roots.txt"
}

# of_component FILE: the lines of FILE under the component's keys, in either view. Later steps
# compare only these: running clients makes Wine register some of its own classes on first use.
of_component() {
    awk 'NR == FNR { root[$0] = 1; next }
         { key = $0; sub(/ (\(key\)|\[|=).*/, "", key); sub(/^wow6432node\\/, "", key)
           n = split(key, part, "\\"); top = part[1]
           if (top in root || (n > 1 && (top "\\" part[2]) in root)) print }' \
        "$workdir/roots.txt" "$1"
}

# added BEFORE AFTER: the lines of AFTER that BEFORE lacks, but for the installer's records.
added() {
    LC_ALL=C comm -13 "$1" "$2" | own_records /dev/stdin
}

# in_view VIEW: the lines of one view (its prefix, '' or 'wow6432node\', taken off), in the
# listing's form; a key that gained no value and no subkey is listed as "(empty)".
in_view() {
    local view=$1
    awk -v view="$view" -v platform="$platform" '
        view == "" && /^wow6432node\\/ { next }
        view != "" { if (index($0, view) != 1) next; $0 = substr($0, length(view) + 1) }
        { t = "\\0\\" platform; i = index($0, t)
          if (i) $0 = substr($0, 1, i - 1) "\\0\\$platform" substr($0, i + length(t)) }
        / \(key\)$/ { keys[++n] = substr($0, 1, length($0) - 6); next }
        { lines[++m] = "reg " $0; k = $0; sub(/ (\[|=).*/, "", k); filled[k] = 1 }
        END {
            for (i = 1; i <= m; i++) print lines[i]
            for (i = 1; i <= n; i++) {
                used = (keys[i] in filled)
                for (k in filled) if (index(k, keys[i] "\\") == 1) used = 1
                if (!used) print "reg " keys[i] " (empty)"
            }
        }' | LC_ALL=C sort
}

# listing_lines LISTING: the listing's registry lines in the same form.
listing_lines() {
    grep '^reg ' "$1" |
        awk '{ at = index($0, " = "); print tolower(substr($0, 1, at - 1)) substr($0, at) }' |
        LC_ALL=C sort
}

# same_lines WHAT EXPECTED FOUND: the two sorted files hold the same lines.
same_lines() {
    if ! cmp -s "$2" "$3"; then
        echo "$1: listed but not found (<), found but not listed (>):" >&2
        diff "$2" "$3" | grep '^[<>]' >&2
        return 1
    fi
}

# msiexec ARG...: runs msiexec in the prefix and says how it ended.
msiexec() {
    "$run" msiexec.exe "$@" >/dev/null 2>&1
    echo "msiexec $*: exit status $?"
}

# same_tree TREE: the installed folder holds the files of TREE, byte for byte, and nothing else.
same_tree() {
    diff -r "$1" "$unix_folder" >&2 || fail "the installed folder is not the install tree"
}

# install_package NAME LISTING TREE: installs C:\NAME and checks the registry and the files.
install_package() {
    local name=$1 listing=$2 tree=$3
    msiexec /i "C:\\$name" /qn
    same_tree "$tree"
    classes >"$workdir/installed.txt"
    added "$workdir/before.txt" "$workdir/installed.txt" >"$workdir/added.txt"
    in_view "$own_view" <"$workdir/added.txt" >"$workdir/own-view.txt"
    listing_lines "$listing" >"$workdir/listing.txt"
    same_lines "HKEY_CLASSES_ROOT after the install" "$workdir/listing.txt" \
        "$workdir/own-view.txt" || fail "the registration is not the listing's"
    # Nothing that was there before changes.
    [[ -z $(LC_ALL=C comm -23 "$workdir/before.txt" "$workdir/installed.txt") ]] ||
        fail "the install changed keys that were there before"
    echo "installed into $folder: $(grep -c . "$workdir/own-view.txt") registry values as listed," \
        "$(grep -c . "$workdir/added.txt") lines added in both views"
}

# baseline: the registry before an install, which holds no key of the component.
baseline() {
    classes >"$workdir/before.txt"
    if grep -qi -e 'velcastra' -e '9e190ad9-4554-4c0c-9487-ed05745274a5' "$workdir/before.txt"; then
        fail "the prefix holds a key of the component before the install"
    fi
}

# uninstall_package NAME: removes C:\NAME and checks that nothing of it is left.
uninstall_package() {
    msiexec /x "C:\\$1" /qn
    classes >"$workdir/removed.txt"
    if ! cmp -s <(of_component "$workdir/before.txt") <(of_component "$workdir/removed.txt"); then
        diff <(of_component "$workdir/before.txt") <(of_component "$workdir/removed.txt") >&2
        fail "keys of the component are left"
    fi
    grep -qi 'tobrunel' <(LC_ALL=C comm -13 "$workdir/before.txt" "$workdir/removed.txt") &&
        fail "Windows Installer still records the product"
    [[ ! -e "$unix_folder" ]] || fail "$unix_folder is left: $(ls -A "$unix_folder")"
    echo "uninstall: no key and no file left"
}

case $step in
install)
    baseline
    cp "$package" "$msi" || fail "cannot copy the package into the prefix"
    write_roots "$1"
    install_package "$(basename "$msi")" "$@"
    ;;
clients)
    client=$1
    if [[ $platform == win64 ]]; then cscript='C:\windows\system32\cscript.exe'; else cscript='C:\windows\syswow64\cscript.exe'; fi
    output=$("$own" "$cscript" //nologo "$folder\\examples\\list-services.vbs" | tr -d '\r')
    [[ $(head -n 1 <<<"$output") =~ ^Name\ +Display\ name\ +State ]] || fail "cscript printed no table: $output"
    [[ $(tail -n 1 <<<"$output") =~ ^([0-9]+)\ services\ on\ .+\.$ && ${BASH_REMATCH[1]} -gt 0 ]] ||
        fail "cscript printed no count of services"
    echo "cscript: $(tail -n 1 <<<"$output")"
    "$own" "$client" || fail "the C++ client failed"
    ;;
repair)
    tree=$1
    rm -f "$unix_folder/Tobrunel.dll" && [[ ! -e "$unix_folder/Tobrunel.dll" ]] || fail "cannot delete the DLL"
    msiexec /i "C:\\$(basename "$msi")" REINSTALL=ALL REINSTALLMODE=a /qn
    [[ -f "$unix_folder/Tobrunel.dll" ]] || fail "the repair did not put the DLL back"
    same_tree "$tree"
    classes >"$workdir/repaired.txt"
    cmp -s <(of_component "$workdir/installed.txt") <(of_component "$workdir/repaired.txt") || {
        diff <(of_component "$workdir/installed.txt") <(of_component "$workdir/repaired.txt") >&2
        fail "the repair changed the registry"
    }
    echo "repair: Tobrunel.dll is back, the registry as installed"
    ;;
uninstall)
    uninstall_package "$(basename "$msi")"
    ;;
regsvr32)
    dll=$1
    mkdir -p "$unix_folder" && cp "$dll" "$unix_folder/Tobrunel.dll" || fail "cannot place the DLL"
    "$own" regsvr32.exe /s "$dll_path" || fail "regsvr32 failed"
    classes >"$workdir/registered.txt"
    "$own" regsvr32.exe /s /u "$dll_path"
    rm -rf "$unix_folder"
    added "$workdir/before.txt" "$workdir/registered.txt" | of_component /dev/stdin |
        shared_views >"$workdir/regsvr32.txt"
    of_component "$workdir/added.txt" | shared_views >"$workdir/package.txt"
    if [[ $platform == win32 ]]; then
        # The 32-bit regsvr32 writes the interfaces in the 64-bit view as well, which a 32-bit
        # package cannot write to: the package lacks exactly those lines.
        { cat "$workdir/package.txt"; sed -n 's/^wow6432node\\\(interface\\.*\)/\1/p' \
            "$workdir/package.txt"; } | LC_ALL=C sort -o "$workdir/package.txt"
    fi
    same_lines "regsvr32 (<) against the package (>), both views" "$workdir/regsvr32.txt" \
        "$workdir/package.txt" || fail "the package registers other than regsvr32"
    echo "regsvr32 adds the same $(grep -c . "$workdir/added.txt") lines as the package, in both views"
    ;;
signed)
    listing=$1 tree=$2 signer=$3
    signing=$workdir/signing
    rm -rf "$signing" && mkdir -p "$signing" || fail "cannot make $signing"
    openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Tobrunel test signer" \
        -keyout "$signing/key.pem" -out "$signing/cert.pem" 2>/dev/null || fail "openssl failed"
    signed_msi="$signing/Tobrunel-signed.msi"
    cp "$package" "$signed_msi" && cp "$tree/Tobrunel.dll" "$signing/Tobrunel.dll" ||
        fail "cannot copy the files to sign"
    if osslsigncode verify -CAfile "$signing/cert.pem" -in "$signed_msi" >/dev/null 2>&1; then
        fail "osslsigncode verifies a package that was never signed"
    fi
    TOBRUNEL_SIGNING_CERT=$signing/cert.pem TOBRUNEL_SIGNING_KEY=$signing/key.pem \
        "$signer" "$signed_msi" "$signing/Tobrunel.dll" || fail "signing failed"
    for file in "$signed_msi" "$signing/Tobrunel.dll"; do
        osslsigncode verify -CAfile "$signing/cert.pem" -in "$file" >"$file.verify" 2>&1 ||
            { cat "$file.verify" >&2; fail "osslsigncode does not verify $(basename "$file")"; }
    done
    echo "osslsigncode verifies the signed package and DLL"
    cp "$signed_msi" "$prefix/drive_c/" || fail "cannot copy the signed package into the prefix"
    baseline
    install_package "$(basename "$signed_msi")" "$listing" "$tree"
    uninstall_package "$(basename "$signed_msi")"
    ;;
*) fail "unknown step" ;;
esac
