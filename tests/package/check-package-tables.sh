#!/usr/bin/env bash
# check-package-tables.sh PACKAGE LISTING PLATFORM: the package registers through its Registry
# table alone: no SelfReg, Class, ProgId, TypeLib or custom action, and the Registry table holds
# each ProgID and interface key that the listing names, under HKEY_CLASSES_ROOT (root 0). It
# carries the upgrade code published for its width (win32, win64), for good, and replaces an
# older version of it (a major upgrade).
set -uo pipefail

if [[ $# -ne 3 ]]; then
    sed -n '2,/^$/s/^# \{0,1\}//p' "${BASH_SOURCE[0]}" >&2
    exit 2
fi
package=$1 listing=$2 platform=$3
# The upgrade codes by which every later package finds this one: never change them.
declare -A upgrade_codes=(
    [win32]='{B7D2E914-35A0-4C6B-8F0E-61C3D4A7B209}'
    [win64]='{4E0B3A6D-8C1F-4F52-9D77-2A61B0C95E18}'
)
failures=0
fail() {
    echo "check-package-tables: $*" >&2
    failures=$((failures + 1))
}

tables=$(msiinfo tables "$package") || { echo "msiinfo cannot read $package" >&2; exit 1; }
for table in SelfReg Class ProgId TypeLib; do
    grep -qx "$table" <<<"$tables" && fail "the package has a $table table"
done
if grep -qx CustomAction <<<"$tables"; then
    actions=$(msiinfo export "$package" CustomAction | tail -n +4)
    [[ -z "$actions" ]] || fail "the package has custom actions: $actions"
fi
registry=$(msiinfo export "$package" Registry | tail -n +4 | tr -d '\r')
# The listing's ProgIDs (a key with no "\") and interfaces, each with its default value.
while read -r key value; do
    grep -qF "$(printf '\t0\t%s\t\t%s\t' "$key" "$value")" <<<"$registry" ||
        { fail "no Registry row for HKCR\\$key = $value" && continue; }
    echo "Registry row: HKCR\\$key = $value"
done < <(sed -n -E 's/^reg (Velcastra\.[A-Za-z]+|Interface\\\{[0-9A-F-]+\}) = (.*)$/\1 \2/p' "$listing")
[[ $(grep -cE '^reg (Velcastra\.[A-Za-z]+|Interface\\\{[0-9A-F-]+\}) = ' "$listing") -eq 5 ]] ||
    fail "the listing names other than two ProgIDs and three interfaces"
code=${upgrade_codes[$platform]:-none}
grep -qx "$(printf 'UpgradeCode\t%s' "$code")" <(msiinfo export "$package" Property | tr -d '\r') ||
    fail "the package's upgrade code is not $code"
# An older version found (VersionMax, not included: attributes 1, "detect only older") is removed.
grep -qF "$(printf '%s\t\t' "$code")" <(msiinfo export "$package" Upgrade | tail -n +4) ||
    fail "the Upgrade table does not look for older versions of $code"
grep -q '^RemoveExistingProducts' <(msiinfo export "$package" InstallExecuteSequence) ||
    fail "the package never removes an older version"
echo "$(grep -c . <<<"$registry") Registry rows; tables: $(tr '\n' ' ' <<<"$tables")"
exit $((failures > 0))
