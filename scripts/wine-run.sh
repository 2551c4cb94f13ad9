#!/usr/bin/env bash
# wine-run.sh: runs a Windows build's programs under Wine in the build's win64 prefix, with no
# display, and starts and stops the prefix's server. The launchers that cmake/Wine.cmake writes
# into each Windows build (<build>/wine-run, <build>/wine64-run) call it with the first options:
#
#   wine-run.sh --prefix DIR --wine64 LOADER [--loader LOADER] PROGRAM [ARG...]
#   ... --start   make or reuse the prefix, keep its server running (the CTest fixture's setup)
#   ... --stop    end the server and every program in the prefix (the fixture's cleanup)
set -uo pipefail

prefix='' wine64='' loader='' action=run
while [[ $# -gt 0 ]]; do
    case "$1" in
    --prefix | --wine64 | --loader)
        printf -v "${1#--}" %s "${2:?wine-run: $1 needs a value}"
        shift
        ;;
    --start | --stop) action=${1#--} ;;
    *) break ;;
    esac
    shift
done
if [[ -z "$prefix" || -z "$wine64" || ($action == run && $# -eq 0) ]]; then
    sed -n '2,/^$/s/^# \{0,1\}//p' "${BASH_SOURCE[0]}" >&2
    exit 2
fi
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=${TOBRUNEL_WINEDEBUG:--all}
# No Mono or Gecko installer dialogs, and no window of any kind.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

# ensure_prefix: makes the prefix once, under a lock (a build step and a test, or two builds that
# share a prefix, may start programs at once), and waits until it has settled: until
# wineserver -w returns, Wine's own device services are still booting and StartServiceA fails
# with 1055/1053 for most of a minute.
ensure_prefix() {
    [[ -f "$prefix/.tobrunel-ready" ]] && return 0
    mkdir -p "$(dirname "$prefix")" && (
        flock 9 || exit 1
        [[ -f "$prefix/.tobrunel-ready" ]] && exit 0
        echo "wine-run: making the win64 prefix $prefix" >&2
        if ! "$wine64" wineboot -i >"$prefix.boot.log" 2>&1 || ! wineserver -w; then
            tail -n 20 "$prefix.boot.log" >&2
            exit 1
        fi
        touch "$prefix/.tobrunel-ready"
    ) 9>"$prefix.lock"
}

# alive: true while a Wine process (loader, server or Windows program) of the prefix is left.
alive() {
    local environ
    for environ in $(grep -lzxF "WINEPREFIX=$prefix" /proc/[0-9]*/environ 2>/dev/null); do
        [[ $(readlink "${environ%environ}exe" 2>/dev/null) == */wine* ]] && return 0
    done
    return 1
}

case $action in
run)
    ensure_prefix || {
        echo "wine-run: the prefix $prefix could not be made" >&2
        exit 1
    }
    # Wine says nothing of its own when a program ends badly (WINEDEBUG=-all): say it here, so
    # that a failed build step or test names what failed.
    "${loader:-$wine64}" "$@"
    status=$?
    ((status == 0)) || echo "wine-run: ${1##*/} ended with exit status $status" >&2
    exit $status
    ;;
start)
    ensure_prefix || exit
    # A server that a build step left behind would refuse to become the persistent one.
    wineserver -k 2>/dev/null
    # The server outlives this program: it must not hold CTest's output pipe open.
    wineserver -w && wineserver -p </dev/null >/dev/null 2>&1 || exit
    # The first program of a session boots the prefix's services: pay for that here, once.
    "$wine64" cmd.exe /c exit 0 >/dev/null 2>&1
    exit 0
    ;;
stop)
    [[ -d "$prefix" ]] || exit 0
    wineserver -k 2>/dev/null
    timeout 30 wineserver -w
    for _ in {1..50}; do
        alive || exit 0
        sleep 0.1
    done
    echo "wine-run: programs of $prefix are still running" >&2
    exit 1
    ;;
esac
