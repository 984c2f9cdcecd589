# shellcheck shell=bash
# Wine prefix, private X display and virtual null-modem cables for tests.
#
#   source scripts/lib/wine.sh
#   trap wine_cleanup EXIT
#   wine_setup_prefix /tmp/plix-wine      # exports WINEPREFIX
#   wine_start_display                    # exports DISPLAY (private Xvfb)
#   wine_start_server                     # optional; cable_start does it
#   cable_start main 5 6                  # \\.\COM5 <-> \\.\COM6
#   wine app.exe ...  ;  printf 'hi' >"$(cable_path main far)"
#
# Safe under `set -euo pipefail`. Every process started here is recorded in
# a file, so wine_cleanup also stops things started from subshells.

# Skip the Mono/Gecko install prompts and keep wine from writing desktop
# menu entries into $HOME; -all keeps test output readable.
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
export WINEARCH="${WINEARCH:-win64}"

_wine_log() { printf 'wine.sh: %s\n' "$*" >&2; }

# Kill PID only if it is still the process we started (its command line
# contains MATCH); pids get reused, and cleanup runs from EXIT traps.
_wine_kill_pid() {
    local pid=$1 match=$2 i
    [[ $pid =~ ^[0-9]+$ ]] || return 0
    [[ -r /proc/$pid/cmdline ]] || return 0
    tr '\0' ' ' </proc/"$pid"/cmdline | grep -qF -- "$match" || return 0
    kill "$pid" 2>/dev/null || return 0
    for ((i = 0; i < 50; i++)); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.05
    done
    kill -9 "$pid" 2>/dev/null || true
}

# wine_setup_prefix DIR: create (or reuse) a 64-bit prefix, export WINEPREFIX.
wine_setup_prefix() {
    local dir=${1:?usage: wine_setup_prefix DIR}
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    export WINEPREFIX="$dir"
    # The marker is written only after setup finished, so an interrupted
    # creation is redone. Bump its name when the setup steps change.
    if [[ -f $dir/.plix-prefix-v1 ]]; then
        return 0
    fi
    if [[ -n $(ls -A "$dir") && ! -e $dir/system.reg && ! -d $dir/dosdevices ]]; then
        _wine_log "refusing to initialise non-empty non-prefix dir $dir"
        return 1
    fi
    local t0=$SECONDS
    # No stdin/terminal in CI: feed /dev/null so nothing can wait for input.
    # DISPLAY is dropped so wineboot never draws on the user's screen.
    if ! env -u DISPLAY wineboot --init </dev/null >"$dir/.wineboot.log" 2>&1; then
        _wine_log "wineboot failed, see $dir/.wineboot.log"
        return 1
    fi
    # Unmanaged windows: with no window manager on Xvfb, wine otherwise
    # waits 2 s for a WM that never answers each time a window is hidden
    # (every MessageBox dismissal took 2 s).
    env -u DISPLAY wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
        </dev/null >>"$dir/.wineboot.log" 2>&1 || { _wine_log "reg add failed"; return 1; }
    # The registry reaches disk only when the server exits.
    wineserver -w
    grep -q '"Managed"="N"' "$dir/user.reg" || { _wine_log "prefix incomplete: $dir"; return 1; }
    : >"$dir/.plix-prefix-v1"
    _wine_log "created prefix $dir in $((SECONDS - t0))s"
}

# wine_start_display: start a private Xvfb on a free display, export DISPLAY.
wine_start_display() {
    if [[ -n ${_WINE_XVFB_PID:-} ]] && kill -0 "$_WINE_XVFB_PID" 2>/dev/null; then
        return 0
    fi
    local run=${WINEPREFIX:?call wine_setup_prefix first}/.run
    mkdir -p "$run"
    local numfile="$run/xvfb.display"
    rm -f "$numfile"
    # -displayfd lets Xvfb pick a free number itself (no race with other
    # test runs) and writes it only once it accepts connections.
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$numfile" \
        </dev/null >"$run/xvfb.log" 2>&1 &
    _WINE_XVFB_PID=$!
    echo "$_WINE_XVFB_PID" >"$run/xvfb.pid"
    local i
    for ((i = 0; i < 100; i++)); do
        if [[ -s $numfile ]]; then
            DISPLAY=":$(tr -dc 0-9 <"$numfile")"
            export DISPLAY
            return 0
        fi
        kill -0 "$_WINE_XVFB_PID" 2>/dev/null || break
        sleep 0.05
    done
    _wine_log "Xvfb did not start, see $run/xvfb.log"
    return 1
}

# wine_start_server: run a persistent wineserver that is NOT a session
# leader. A wineserver started implicitly by `wine` daemonizes with setsid
# and then grabs the first pty it opens (our COM port) as its controlling
# terminal; when that cable goes away it gets SIGHUP and dumps ~10k lines of
# object state to the stderr of whatever test started it. Keeping it in our
# session avoids that, and also saves ~0.2 s per wine start.
wine_start_server() {
    local run=${WINEPREFIX:?call wine_setup_prefix first}/.run
    mkdir -p "$run"
    if [[ -f $run/wineserver.pid ]] && kill -0 "$(cat "$run/wineserver.pid")" 2>/dev/null; then
        return 0
    fi
    wineserver -f -p </dev/null >"$run/wineserver.log" 2>&1 &
    local pid=$! i cwd
    echo "$pid" >"$run/wineserver.pid"
    # Ready once its socket exists; a wine started earlier would spawn a
    # second, daemonized server and defeat the point.
    for ((i = 0; i < 100; i++)); do
        if ! kill -0 "$pid" 2>/dev/null; then
            _wine_log "wineserver exited (one already running for $WINEPREFIX?), see $run/wineserver.log"
            rm -f "$run/wineserver.pid"
            return 1
        fi
        cwd=$(readlink "/proc/$pid/cwd" 2>/dev/null || true)
        if [[ $cwd == */server-* && -S $cwd/socket ]]; then
            # The first program of a session starts the mount manager, which
            # points com1..com4 at /dev/ttyS*: let it do so now, before any
            # cable maps those names.
            wine cmd /c exit </dev/null >/dev/null 2>&1 || true
            return 0
        fi
        sleep 0.02
    done
    _wine_log "wineserver did not become ready"
    return 1
}

# cable_start NAME NEAR FAR [fixed|mapped]: null-modem cable between COM<NEAR>
# and COM<FAR>. The Linux ends are $WINEPREFIX/cables/NAME/{near,far} (symlinks
# kept by socat), also exported as CABLE_NEAR / CABLE_FAR for the latest cable.
# "fixed": the COM ports lead to those symlinks rather than to today's
# pseudo-terminals, so that cable_revive makes the same ports come back.
# "mapped": fixed, and socat runs before the wineserver starts, so that the
# mount manager finds a port that HKLM\Software\Wine\Ports names there.
cable_start() {
    local name=${1:?usage: cable_start NAME NEAR_COM FAR_COM [fixed|mapped]} near=${2:?} far=${3:?} mode=${4:-}
    [[ $name =~ ^[A-Za-z0-9_-]+$ ]] || { _wine_log "bad cable name '$name'"; return 1; }
    [[ $near =~ ^[0-9]+$ && $far =~ ^[0-9]+$ && $near != "$far" ]] ||
        { _wine_log "bad COM numbers '$near' '$far'"; return 1; }
    local dir=${WINEPREFIX:?call wine_setup_prefix first}/cables/$name
    if [[ $mode != mapped ]]; then wine_start_server || return 1; fi
    if [[ -f $dir/socat.pid ]]; then cable_stop "$name"; fi
    mkdir -p "$dir"
    rm -f "$dir/near" "$dir/far"
    socat -d -d "pty,raw,echo=0,link=$dir/near" "pty,raw,echo=0,link=$dir/far" \
        </dev/null >"$dir/socat.log" 2>&1 &
    local pid=$!
    echo "$pid" >"$dir/socat.pid"
    local i
    for ((i = 0; i < 100; i++)); do
        [[ -L $dir/near && -L $dir/far ]] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    if ! [[ -L $dir/near && -L $dir/far ]]; then
        _wine_log "socat did not create ptys, see $dir/socat.log"
        cable_stop "$name"
        return 1
    fi
    wine_start_server || return 1
    local near_pty far_pty
    if [[ $mode == fixed || $mode == mapped ]]; then
        near_pty=$dir/near
        far_pty=$dir/far
    else
        near_pty=$(readlink -f "$dir/near")
        far_pty=$(readlink -f "$dir/far")
    fi
    # Wine resolves \\.\COMn through dosdevices/comn at open time; lowercase
    # is what wine itself creates.
    ln -sfn "$near_pty" "$WINEPREFIX/dosdevices/com$near"
    ln -sfn "$far_pty" "$WINEPREFIX/dosdevices/com$far"
    printf 'NEAR_COM=%s\nFAR_COM=%s\nNEAR_PTY=%s\nFAR_PTY=%s\n' \
        "$near" "$far" "$near_pty" "$far_pty" >"$dir/env"
    export CABLE_NEAR="$near_pty" CABLE_FAR="$far_pty"
}

# cable_revive NAME: after the socat of a "fixed" cable died, a new one on the
# same symlinks: new pseudo-terminals behind the same COM ports, as when an
# adapter is plugged in again.
cable_revive() {
    local dir=${WINEPREFIX:?}/cables/${1:?usage: cable_revive NAME}
    [[ -f $dir/env ]] || { _wine_log "cable_revive: no cable '$1'"; return 1; }
    if [[ -f $dir/socat.pid ]] && kill -0 "$(cat "$dir/socat.pid")" 2>/dev/null; then
        _wine_log "cable_revive: the socat of '$1' still runs"
        return 1
    fi
    rm -f "$dir/near" "$dir/far"
    socat -d -d "pty,raw,echo=0,link=$dir/near" "pty,raw,echo=0,link=$dir/far" \
        </dev/null >>"$dir/socat.log" 2>&1 &
    echo "$!" >"$dir/socat.pid"
    local i
    for ((i = 0; i < 100; i++)); do
        [[ -L $dir/near && -L $dir/far ]] && return 0
        sleep 0.02
    done
    _wine_log "cable_revive: socat did not create ptys, see $dir/socat.log"
    return 1
}

# echo_start NAME COM: a device at COM<COM> that sends back every byte it
# receives (a pseudo-terminal whose other side is cat). Stopped like a cable.
echo_start() {
    local name=${1:?usage: echo_start NAME COM} com=${2:?}
    [[ $name =~ ^[A-Za-z0-9_-]+$ && $com =~ ^[0-9]+$ ]] || { _wine_log "bad echo '$name' '$com'"; return 1; }
    local dir=${WINEPREFIX:?call wine_setup_prefix first}/cables/$name
    wine_start_server || return 1
    if [[ -f $dir/socat.pid ]]; then cable_stop "$name"; fi
    mkdir -p "$dir"
    rm -f "$dir/near"
    socat -d -d "pty,raw,echo=0,link=$dir/near" EXEC:cat </dev/null >"$dir/socat.log" 2>&1 &
    echo "$!" >"$dir/socat.pid"
    local i
    for ((i = 0; i < 100; i++)); do
        [[ -L $dir/near ]] && break
        sleep 0.05
    done
    [[ -L $dir/near ]] || { _wine_log "socat did not create a pty, see $dir/socat.log"; cable_stop "$name"; return 1; }
    local pty
    pty=$(readlink -f "$dir/near")
    ln -sfn "$pty" "$WINEPREFIX/dosdevices/com$com"
    printf 'NEAR_COM=%s\nNEAR_PTY=%s\n' "$com" "$pty" >"$dir/env"
}

# cable_path NAME near|far: print the Linux pty of one end.
cable_path() {
    local dir=${WINEPREFIX:?}/cables/${1:?usage: cable_path NAME near|far}
    case ${2:-} in
        near) sed -n 's/^NEAR_PTY=//p' "$dir/env" ;;
        far) sed -n 's/^FAR_PTY=//p' "$dir/env" ;;
        *) _wine_log "cable_path: end must be near or far"; return 1 ;;
    esac
}

# cable_stop NAME: stop socat and remove the COM mappings it backed.
cable_stop() {
    local dir=${WINEPREFIX:?}/cables/${1:?usage: cable_stop NAME}
    [[ -d $dir ]] || return 0
    if [[ -f $dir/socat.pid ]]; then
        _wine_kill_pid "$(cat "$dir/socat.pid")" "$dir/near"
        rm -f "$dir/socat.pid"
    fi
    if [[ -f $dir/env ]]; then
        local end com pty
        for end in NEAR FAR; do
            com=$(sed -n "s/^${end}_COM=//p" "$dir/env")
            pty=$(sed -n "s/^${end}_PTY=//p" "$dir/env")
            # Leave the link alone if someone re-pointed it meanwhile.
            if [[ -n $com && $(readlink "$WINEPREFIX/dosdevices/com$com" 2>/dev/null) == "$pty" ]]; then
                rm -f "$WINEPREFIX/dosdevices/com$com"
            fi
        done
        rm -f "$dir/env"
    fi
    rm -f "$dir/near" "$dir/far"
}

# wine_cleanup: stop cables, wineserver and Xvfb. Idempotent, never fails,
# so it can sit in an EXIT trap.
wine_cleanup() {
    [[ -n ${WINEPREFIX:-} && -d ${WINEPREFIX:-/nonexistent} ]] || return 0
    local d
    for d in "$WINEPREFIX"/cables/*/; do
        if [[ -d $d ]]; then cable_stop "$(basename "$d")" || true; fi
    done
    wineserver -k 2>/dev/null || true
    if [[ -f $WINEPREFIX/.run/wineserver.pid ]]; then
        _wine_kill_pid "$(cat "$WINEPREFIX/.run/wineserver.pid")" wineserver || true
        rm -f "$WINEPREFIX/.run/wineserver.pid"
    fi
    if [[ -f $WINEPREFIX/.run/xvfb.pid ]]; then
        _wine_kill_pid "$(cat "$WINEPREFIX/.run/xvfb.pid")" Xvfb || true
        rm -f "$WINEPREFIX/.run/xvfb.pid"
    fi
    unset _WINE_XVFB_PID
    return 0
}
