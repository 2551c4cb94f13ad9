#!/usr/bin/env bash
# wine-run.sh PROGRAM [ARG...]: runs a Windows program of the Windows build under Wine, in the
# build's private prefix, and exits with the program's exit code. CMake's cross-compiling
# emulator: CTest runs every Windows test through it.
#
# The prefix is $TOBRUNEL_WINEPREFIX, else <build tree>/wineprefix for the build tree that holds
# PROGRAM (or the current directory); it is created on first use. A 32-bit program gets a win32
# prefix and a 64-bit one a win64 prefix. No display is used. See wine-harness.sh for the rest.
set -uo pipefail

if [[ $# -eq 0 ]]; then
    echo "usage: wine-run.sh PROGRAM [ARG...]" >&2
    exit 2
fi

# shellcheck source=scripts/wine-harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-harness.sh"
wine_harness_wine "$@"
