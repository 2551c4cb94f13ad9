#!/usr/bin/env bash
# wine-harness.sh: a private Wine prefix under the build tree, in which the Windows build's tests
# and the main job run with no display, and which leaves no process behind.
#
# As a command:
#   wine-harness.sh start                 create or reuse the prefix; start a warm server
#   wine-harness.sh stop                  end this prefix's server and every program in it
#   wine-harness.sh exec CMD [ARG...]     run a Linux command (ctest, a script) in the prefix's
#                                         environment; Windows programs it starts use the prefix
#   wine-harness.sh wine PROG [ARG...]    run a Windows program in the prefix (exit code passed on)
#   wine-harness.sh run CMD [ARG...]      start, exec CMD, stop (also on failure); CMD's exit code
#   wine-harness.sh prefix | arch         print the prefix's path or its architecture
#
# Sourced (`source scripts/wine-harness.sh`), it defines the same as functions and runs nothing:
#   wine_harness_start, wine_harness_stop, wine_harness_exec, wine_harness_wine, wine_harness_run,
#   wine_harness_prefix, wine_harness_arch, wine_harness_windows_path, wine_harness_host_runs_win32,
#   wine_harness_windows_arch
#
# Settings (environment):
#   TOBRUNEL_WINEPREFIX  the prefix; default <build tree>/wineprefix
#   TOBRUNEL_BUILD_DIR   the build tree; default the nearest directory above the current one (or
#                        above the program run) that holds a CMakeCache.txt
#   TOBRUNEL_WINEARCH    win32 or win64; default the prefix's own, else the program's, else the
#                        build's target processor, else win32
#   TOBRUNEL_WINEDEBUG   Wine's debug channels; default -all
#
# One harness at a time per prefix: `stop` ends the prefix's server whoever started it.

# --- where and what -------------------------------------------------------------------------

# wine_harness_build_dir [START]: the build tree, from TOBRUNEL_BUILD_DIR or upward from START.
wine_harness_build_dir() {
    if [[ -n "${TOBRUNEL_BUILD_DIR:-}" ]]; then
        printf '%s\n' "$TOBRUNEL_BUILD_DIR"
        return 0
    fi
    local dir
    dir=$(cd "${1:-$PWD}" 2>/dev/null && pwd -P) || return 1
    while [[ -n "$dir" ]]; do
        if [[ -f "$dir/CMakeCache.txt" ]]; then
            printf '%s\n' "$dir"
            return 0
        fi
        [[ "$dir" == / ]] && break
        dir=$(dirname "$dir")
    done
    return 1
}

# wine_harness_prefix [START]: the prefix's absolute path.
wine_harness_prefix() {
    if [[ -n "${TOBRUNEL_WINEPREFIX:-}" ]]; then
        case "$TOBRUNEL_WINEPREFIX" in
        /*) printf '%s\n' "$TOBRUNEL_WINEPREFIX" ;;
        *) printf '%s\n' "$PWD/$TOBRUNEL_WINEPREFIX" ;;
        esac
        return 0
    fi
    local build
    if ! build=$(wine_harness_build_dir "${1:-}"); then
        echo "wine-harness: no build tree found; set TOBRUNEL_WINEPREFIX or TOBRUNEL_BUILD_DIR" >&2
        return 1
    fi
    printf '%s\n' "$build/wineprefix"
}

# wine_harness_pe_arch FILE: win32 or win64 for a PE program or library; fails for anything else.
wine_harness_pe_arch() {
    local file=$1 offset machine
    [[ -f "$file" && $(head -c 2 "$file" 2>/dev/null) == MZ ]] || return 1
    offset=$(od -An -tu4 -j60 -N4 "$file" | tr -d ' ')
    [[ -n "$offset" ]] || return 1
    machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$file" | tr -d ' ')
    case "$machine" in
    014c) echo win32 ;;
    8664) echo win64 ;;
    *) return 1 ;;
    esac
}

# wine_harness_arch [PROGRAM]: the architecture the prefix has or must be created with.
wine_harness_arch() {
    if [[ -n "${TOBRUNEL_WINEARCH:-}" ]]; then
        echo "$TOBRUNEL_WINEARCH"
        return 0
    fi
    local prefix build system processor
    prefix=$(wine_harness_prefix "$(wine_harness_start_dir "${1:-}")" 2>/dev/null)
    if [[ -n "$prefix" && -f "$prefix/system.reg" ]]; then
        sed -n 's/^#arch=//p' "$prefix/system.reg" | head -n 1
        return 0
    fi
    if [[ -n "${1:-}" ]] && wine_harness_pe_arch "$1"; then
        return 0
    fi
    if build=$(wine_harness_build_dir "$(wine_harness_start_dir "${1:-}")" 2>/dev/null); then
        for system in "$build"/CMakeFiles/*/CMakeSystem.cmake; do
            [[ -f "$system" ]] || continue
            processor=$(sed -n 's/^set(CMAKE_SYSTEM_PROCESSOR "\(.*\)")$/\1/p' "$system")
            case "$processor" in
            x86_64 | AMD64 | amd64)
                echo win64
                return 0
                ;;
            esac
        done
    fi
    echo win32
}

# wine_harness_start_dir [PROGRAM]: where to look for the build tree: beside the program when it
# is a file, else the current directory.
wine_harness_start_dir() {
    if [[ -n "${1:-}" && -f "$1" ]]; then
        dirname "$1"
    else
        echo "$PWD"
    fi
}

# wine_harness_loader ARCH: Wine's loader for ARCH. Debian's `wine` always prefers the 32-bit
# loader, which cannot start where the kernel runs no 32-bit code, so win64 calls wine64 itself.
wine_harness_loader() {
    if [[ "$1" == win64 ]]; then
        if [[ -x /usr/lib/wine/wine64 ]]; then
            echo /usr/lib/wine/wine64
            return 0
        elif command -v wine64 >/dev/null; then
            command -v wine64
            return 0
        fi
    fi
    echo wine
}

# wine_harness_host_runs_win32: true when this machine can start the 32-bit loader (some kernels
# are built or booted without 32-bit user code, and execve answers "Exec format error").
wine_harness_host_runs_win32() {
    local loader=/usr/lib/wine/wine
    [[ -x "$loader" ]] || loader=$(command -v wine) || return 1
    "$loader" --version >/dev/null 2>&1
}

# wine_harness_windows_arch: the mingw-w64 target the Windows build should use on this machine:
# $TOBRUNEL_WINDOWS_ARCH if set to i686 or x86_64, else i686 where 32-bit programs run, x86_64
# elsewhere.
wine_harness_windows_arch() {
    case "${TOBRUNEL_WINDOWS_ARCH:-auto}" in
    i686 | x86_64) echo "$TOBRUNEL_WINDOWS_ARCH" ;;
    *) if wine_harness_host_runs_win32; then echo i686; else echo x86_64; fi ;;
    esac
}

# wine_harness_windows_path PATH: PATH as Windows programs in the prefix see it (drive Z: is /).
wine_harness_windows_path() {
    local path
    path=$(realpath -m "$1")
    printf 'Z:%s\n' "${path//\//\\}"
}

# --- environment --------------------------------------------------------------------------

# wine_harness_export PREFIX ARCH: the environment every Wine program of the harness runs in.
wine_harness_export() {
    export TOBRUNEL_WINEPREFIX="$1" TOBRUNEL_WINEARCH="$2"
    export WINEPREFIX="$1" WINEARCH="$2"
    export WINEDEBUG="${TOBRUNEL_WINEDEBUG:--all}"
    # No Mono or Gecko installer dialogs, and no window of any kind.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    unset DISPLAY WAYLAND_DISPLAY
}

# wine_harness_ensure_prefix PREFIX ARCH: create the prefix once and wait until it has settled.
# Until wineserver -w returns, Wine's own device services are still booting and StartServiceA
# fails with 1055/1053. A lock keeps parallel tests from creating it twice.
wine_harness_ensure_prefix() {
    local prefix=$1 arch=$2
    [[ -f "$prefix/.tobrunel-ready" ]] && return 0
    mkdir -p "$(dirname "$prefix")" || return 1
    (
        flock 9 || exit 1
        [[ -f "$prefix/.tobrunel-ready" ]] && exit 0
        if [[ "$arch" == win32 ]] && ! wine_harness_host_runs_win32; then
            echo "wine-harness: this machine cannot run 32-bit programs, so a win32 prefix" \
                "cannot start; use the x86_64 build (cmake/mingw-x86_64.cmake)" >&2
            exit 126
        fi
        echo "wine-harness: creating $arch prefix $prefix" >&2
        wine_harness_export "$prefix" "$arch"
        "$(wine_harness_loader "$arch")" wineboot -i >/dev/null 2>&1 || exit 1
        wineserver -w || exit 1
        touch "$prefix/.tobrunel-ready"
    ) 9>"$prefix.lock"
}

# wine_harness_resolve [PROGRAM]: sets HARNESS_PREFIX and HARNESS_ARCH for the commands below.
wine_harness_resolve() {
    HARNESS_PREFIX=$(wine_harness_prefix "$(wine_harness_start_dir "${1:-}")") || return 1
    HARNESS_ARCH=$(wine_harness_arch "${1:-}") || return 1
    case "$HARNESS_ARCH" in
    win32 | win64) ;;
    *)
        echo "wine-harness: unknown architecture '$HARNESS_ARCH'" >&2
        return 1
        ;;
    esac
}

# --- commands -----------------------------------------------------------------------------

# wine_harness_start: create or reuse the prefix and keep its server running (wineserver -p), so
# that each program starts in tens of milliseconds instead of most of a second. Exports the
# harness's environment into the caller when sourced.
wine_harness_start() {
    wine_harness_resolve || return 1
    wine_harness_ensure_prefix "$HARNESS_PREFIX" "$HARNESS_ARCH" || return
    wine_harness_export "$HARNESS_PREFIX" "$HARNESS_ARCH"
    wineserver -p || return 1
    # The first program of a session boots the prefix's services; pay for that here.
    "$(wine_harness_loader "$HARNESS_ARCH")" cmd.exe /c exit 0 >/dev/null 2>&1 || true
}

# wine_harness_stop: end the prefix's server and every program in it, and wait until they are
# gone.
wine_harness_stop() {
    wine_harness_resolve || return 1
    [[ -d "$HARNESS_PREFIX" ]] || return 0
    WINEPREFIX="$HARNESS_PREFIX" wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$HARNESS_PREFIX" timeout 30 wineserver -w >/dev/null 2>&1 || true
    local _
    for _ in $(seq 50); do
        wine_harness_processes "$HARNESS_PREFIX" || return 0
        sleep 0.1
    done
    echo "wine-harness: programs of $HARNESS_PREFIX still running:" >&2
    wine_harness_processes "$HARNESS_PREFIX" >&2
    return 1
}

# wine_harness_processes PREFIX: lists the live Wine processes (loader, server, Windows programs)
# that run in PREFIX; false when there are none.
wine_harness_processes() {
    local environ pid found=1
    for environ in /proc/[0-9]*/environ; do
        pid=${environ#/proc/}
        pid=${pid%/environ}
        [[ $(readlink "/proc/$pid/exe" 2>/dev/null) == */wine* ]] || continue
        if grep -qzxF "WINEPREFIX=$1" "$environ" 2>/dev/null; then
            echo "$pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"
            found=0
        fi
    done
    return $found
}

# wine_harness_exec CMD [ARG...]: run a Linux command in the harness's environment.
wine_harness_exec() {
    wine_harness_resolve || return 1
    (
        wine_harness_export "$HARNESS_PREFIX" "$HARNESS_ARCH"
        "$@"
    )
}

# wine_harness_wine PROGRAM [ARG...]: run a Windows program in the prefix, creating the prefix on
# first use; Wine's exit code is the program's.
wine_harness_wine() {
    wine_harness_resolve "${1:-}" || return 1
    wine_harness_ensure_prefix "$HARNESS_PREFIX" "$HARNESS_ARCH" || return
    (
        wine_harness_export "$HARNESS_PREFIX" "$HARNESS_ARCH"
        "$(wine_harness_loader "$HARNESS_ARCH")" "$@"
    )
}

# wine_harness_run CMD [ARG...]: start, run CMD, stop whatever CMD did; returns CMD's status.
wine_harness_run() {
    wine_harness_start || return
    local status=0
    wine_harness_exec "$@" || status=$?
    wine_harness_stop || true
    return $status
}

wine_harness_main() {
    local verb=${1:-}
    shift || true
    case "$verb" in
    start) wine_harness_start ;;
    stop) wine_harness_stop ;;
    exec) wine_harness_exec "$@" ;;
    wine) wine_harness_wine "$@" ;;
    run)
        trap 'wine_harness_stop' INT TERM
        wine_harness_run "$@"
        ;;
    prefix) wine_harness_resolve && echo "$HARNESS_PREFIX" ;;
    arch) wine_harness_resolve && echo "$HARNESS_ARCH" ;;
    *)
        sed -n '2,/^$/s/^# \{0,1\}//p' "${BASH_SOURCE[0]}" >&2
        return 2
        ;;
    esac
}

if [[ "${BASH_SOURCE[0]}" == "$0" ]]; then
    set -uo pipefail
    wine_harness_main "$@"
    exit
fi
