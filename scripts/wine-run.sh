#!/usr/bin/env bash
# Runs a Windows program of the x86_64 build under 64-bit Wine and exits with
# the program's own exit status.
#
#   bash scripts/wine-run.sh PROGRAM.exe [ARGUMENTS...]
#
# The Wine prefix is private to the build tree (default build/win64/wineprefix,
# or $ZENDRA_WINEPREFIX) and is initialised once, without the Mono and Gecko
# installers. With no $DISPLAY the program runs under xvfb-run. The run is
# stopped after $ZENDRA_WINE_TIMEOUT seconds (default 900).
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

under_display=0
if [ "${1:-}" = "--under-display" ]; then
    under_display=1
    shift
fi
if [ $# -lt 1 ]; then
    echo "usage: $0 PROGRAM.exe [ARGUMENTS...]" >&2
    exit 2
fi
program=$1
shift
if [ ! -f "$program" ]; then
    echo "wine-run: $program: no such program" >&2
    exit 2
fi

export WINEPREFIX=${ZENDRA_WINEPREFIX:-$top/build/win64/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
timeout_s=${ZENDRA_WINE_TIMEOUT:-900}

if ! command -v wine > /dev/null; then
    echo "wine-run: wine is not installed (bash scripts/setup.sh installs it)" >&2
    exit 2
fi

# The part that needs a display: prefix set-up (once), the program, and waiting
# for the Wine server to finish so that nothing outlives the display.
inner() {
    set -u
    local prefix=$WINEPREFIX
    mkdir -p "$(dirname "$prefix")"
    (
        # One initialisation at a time, even when several runs start together.
        flock 9
        if [ ! -f "$prefix/.zendra-prefix-v1" ]; then
            rm -rf "$prefix"
            echo "wine-run: initialising Wine prefix $prefix" >&2
            if ! wine wineboot --init > "$prefix.log" 2>&1; then
                echo "wine-run: wineboot failed, see $prefix.log" >&2
                exit 1
            fi
            # A crashing program must end with a status, not wait on the
            # debugger's dialog.
            wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD \
                /d 0 /f >> "$prefix.log" 2>&1
            wineserver -w
            touch "$prefix/.zendra-prefix-v1"
        fi
    ) 9> "$prefix.lock" || return 1
    local status=0
    timeout --kill-after=10 "$timeout_s" wine "$@" || status=$?
    wineserver -w || true
    return "$status"
}

if [ -n "${DISPLAY:-}" ] || [ "$under_display" = 1 ]; then
    inner "$program" "$@"
    exit $?
fi

if ! command -v xvfb-run > /dev/null; then
    echo "wine-run: no DISPLAY and xvfb-run is not installed" >&2
    exit 2
fi
exec xvfb-run -a -s "-screen 0 1024x768x24" bash "${BASH_SOURCE[0]}" --under-display "$program" "$@"
