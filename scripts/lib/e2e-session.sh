#!/usr/bin/env bash
# The end-to-end tests' session, one step per CTest fixture (tests/e2e):
#
#   e2e-session.sh prefix     the Wine prefix, an emptied work directory
#   e2e-session.sh display    a private Xvfb
#   e2e-session.sh server     a wineserver of the session's own, and the
#                             cable COM15 <-> COM16 whose COM15 the registry maps
#   e2e-session.sh cable      the null-modem cable COM5 <-> COM6
#   e2e-session.sh stop-cable | stop-server | stop-display
#
# Each step is its own process, so what a later step and the tests need goes
# into $WINEPREFIX/.run/session.env, which scripts/lib/wine-exec reads.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/scripts/lib/wine.sh"
cd "$root"
prefix=${PLIX_TEST_PREFIX:-$root/build/wineprefix}
run=$prefix/.run
session=$run/session.env

# The display of this session, if its Xvfb still runs.
load_display() {
    if [[ -f $session ]]; then
        # shellcheck source=/dev/null
        source "$session"
        kill -0 "${PLIX_XVFB_PID:-0}" 2>/dev/null && return 0
        unset DISPLAY
    fi
    _wine_log "no display: the display step did not run"
    return 1
}

case ${1:-} in
    prefix)
        exec 9>"$prefix.lock"
        flock 9
        wine_setup_prefix "$prefix"
        # COM15 mapped as users of Wine map a port, through the registry: it is
        # in SERIALCOMM, and it opens even while its path is gone (e2e_lost).
        # The mount manager reads this when a server starts.
        if ! grep -q '^"COM15"=' "$prefix/system.reg"; then
            env -u DISPLAY wine reg add 'HKLM\Software\Wine\Ports' /v COM15 /t REG_SZ \
                /d "$prefix/cables/mapped/near" /f </dev/null >/dev/null 2>&1
            wineserver -w
        fi
        # A server that listing the tests left behind would not be ours.
        wineserver -k 2>/dev/null || true
        wineserver -w 2>/dev/null || true
        rm -f "$session"
        rm -rf build/e2e-app
        mkdir -p build/e2e-app "$run"
        ;;
    display)
        export WINEPREFIX=$prefix
        wine_start_display
        printf 'export DISPLAY=%q\nPLIX_XVFB_PID=%q\n' "$DISPLAY" "$_WINE_XVFB_PID" >"$session"
        ;;
    server)
        export WINEPREFIX=$prefix
        load_display
        # COM15 <-> COM16: its socat runs before the server, which then makes
        # COM15's device from the registry (see prefix).
        cable_start mapped 15 16 mapped
        ;;
    cable)
        export WINEPREFIX=$prefix
        load_display
        cable_start e2e 5 6
        # The dialog tests read the line's settings from Linux's end of COM5.
        printf 'export CABLE_NEAR=%q CABLE_FAR=%q\n' "$CABLE_NEAR" "$CABLE_FAR" >>"$session"
        ;;
    stop-cable)
        export WINEPREFIX=$prefix
        cable_stop e2e
        ;;
    stop-server)
        export WINEPREFIX=$prefix
        # Cables the tests made for themselves (soak, hostile) end here too.
        for d in "$prefix"/cables/*/; do
            if [[ -d $d ]]; then cable_stop "$(basename "$d")" || true; fi
        done
        wineserver -k 2>/dev/null || true
        if [[ -f $run/wineserver.pid ]]; then
            _wine_kill_pid "$(cat "$run/wineserver.pid")" wineserver || true
            rm -f "$run/wineserver.pid"
        fi
        ;;
    stop-display)
        if [[ -f $run/xvfb.pid ]]; then
            _wine_kill_pid "$(cat "$run/xvfb.pid")" Xvfb || true
            rm -f "$run/xvfb.pid"
        fi
        rm -f "$session"
        ;;
    *)
        echo "usage: e2e-session.sh prefix|display|server|cable|stop-cable|stop-server|stop-display" >&2
        exit 2
        ;;
esac
