#!/bin/sh
# Runs a cross-built Windows program under Wine: CTest's emulator for the
# win32 and win64 presets. Self-contained: a Wine prefix of its own next to
# the program, a virtual display when none is set, bounded in time, and the
# Wine server gone before it returns, so nothing outlives a test.
#
#   run-under-wine.sh PROGRAM.exe [ARGS...]
#
# Exits with the program's status; 77 (a skipped test) when this machine
# cannot run programs of the program's word size at all.
set -u

if [ $# -lt 1 ]; then
    echo "usage: $0 PROGRAM.exe [ARGS...]" >&2
    exit 2
fi
program=$1
shift

# The PE machine field says which Wine loader runs the program.
pe_offset=$(od -An -t u4 -j 60 -N 4 "$program" | tr -d ' ')
machine=$(od -An -t x2 -j $((pe_offset + 4)) -N 2 "$program" | tr -d ' ')
case "$machine" in
    014c) arch=win32; loader=/usr/lib/wine/wine; server=/usr/lib/wine/wineserver32 ;;
    8664) arch=win64; loader=/usr/lib/wine/wine64; server=/usr/lib/wine/wineserver64 ;;
    *) echo "$program: not a Windows x86 program (machine $machine)" >&2; exit 2 ;;
esac
[ -x "$server" ] || server=/usr/lib/wine/wineserver
# The build's word-size-check asks the kernel as lumhost does: a machine
# whose kernel runs no 32-bit programs can never run Wine's 32-bit loader.
checker="$(cd "$(dirname "$program")" && pwd)/word-size-check"
[ -x "$checker" ] || checker="$(cd "$(dirname "$program")/.." && pwd)/word-size-check"
if [ -x "$checker" ] && ! why=$("$checker" "${arch#win}"); then
    echo "SKIPPED: $why" >&2
    exit 77
fi
if ! "$loader" --version >/dev/null 2>&1; then
    echo "SKIPPED: this machine cannot run $arch programs under Wine ($loader does not start)." >&2
    exit 77
fi

if [ -z "${DISPLAY:-}" ]; then
    # 24-bit colour: the tests read back exact pen colours.
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$0" "$program" "$@"
fi

build_dir=$(cd "$(dirname "$program")" && pwd)
export WINEPREFIX="${GYROTRAIL_WINEPREFIX:-$build_dir/wine-prefix-$arch}"
export WINEARCH=$arch
export WINELOADER=$loader
export WINESERVER=$server
export WINEDEBUG="${WINEDEBUG:--all}"
# No .NET or HTML engine: nothing here needs them, and their installers would
# stop to ask.
export WINEDLLOVERRIDES="mscoree,mshtml="
limit="${GYROTRAIL_WINE_TIMEOUT:-600}"

stop_server() {
    timeout 30 "$server" -w 2>/dev/null || "$server" -k 2>/dev/null
}

# One prefix set-up at a time; the first start of a new prefix takes a while.
mkdir -p "$(dirname "$WINEPREFIX")"
(
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        timeout "$limit" "$loader" wineboot --init </dev/null >/dev/null 2>&1
        stop_server
    fi
) 9>"$WINEPREFIX.lock"

timeout -k 10 "$limit" "$loader" "$program" "$@" </dev/null
status=$?
stop_server
if [ $status -eq 124 ]; then
    echo "$program: stopped after $limit s" >&2
fi
exit $status
