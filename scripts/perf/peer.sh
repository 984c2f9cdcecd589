#!/usr/bin/env bash
# Side by side with picocom: the same BYTES random bytes (default 5 MiB) are
# written, paced at RATE bytes/s (default 30720) in 100 ms slices, to the far
# ends of two socat cables at once: plix32.exe receives on COM5 with Save To
# Disk on, picocom --logfile on the other cable's near end. Both captures must
# equal the bytes sent. Prints the CPU seconds per MiB of each (plix32.exe with
# and without wineserver's share) and their ratio.
#
#   scripts/perf/peer.sh [BYTES] [RATE]
#
# Variants, to attribute the cost (defaults give the plain comparison above):
#   PEER_SAVE=0            plix32.exe with Save To Disk off (its capture is then
#                          not compared; picocom still logs)
#   PEER_DATA=text         printable lines of 62 characters ended by CR LF (a
#                          row advance every line, no markers)
#   PEER_DATA=cr           the same lines ended by CR only: the current row is
#                          overwritten, the ring never advances, so each tick
#                          paints one row incrementally
#   PEER_WINDOW=min        the terminal window minimized: nothing is painted
#   PEER_PICOCOM=xterm     picocom runs in an xterm (80x35) on the same Xvfb
#                          and its CPU includes xterm's (the terminal that
#                          renders its output), with --imap spchex,8bithex so
#                          that it too spells out what is not printable
#   PEER_BASELINE=SECONDS  how long wineserver is measured before the program
#                          starts (default 10): what Wine's own processes cost
#                          it with no program running is not the program's
#   PEER_PERF=1            also samples plix32.exe and wineserver with
#                          `perf record` (build/perf/peer/perf.data) and
#                          prints the share of each shared object
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$PLIX_ROOT"
BYTES=${1:-$((5 * 1024 * 1024))}
RATE=${2:-30720}
PEER_SAVE=${PEER_SAVE:-1}
PEER_DATA=${PEER_DATA:-random}
PEER_WINDOW=${PEER_WINDOW:-normal}
PEER_PICOCOM=${PEER_PICOCOM:-plain}
PEER_PERF=${PEER_PERF:-0}
PEER_BASELINE=${PEER_BASELINE:-10}

PICO_PID=
XTERM_PID=
XVFB2_PID=
PERF_PID=
cleanup() {
  if [ -n "$PERF_PID" ]; then kill -INT "$PERF_PID" 2>/dev/null || true; fi
  if [ -n "$PICO_PID" ]; then kill "$PICO_PID" 2>/dev/null || true; fi
  if [ -n "$XTERM_PID" ]; then kill "$XTERM_PID" 2>/dev/null || true; fi
  if [ -n "$XVFB2_PID" ]; then kill "$XVFB2_PID" 2>/dev/null || true; fi
  perf_cleanup
}
trap cleanup EXIT
extra=(picocom python3)
[ "$PEER_PICOCOM" = xterm ] && extra+=(xterm)
[ "$PEER_PERF" = 1 ] && extra+=(linux-perf)
perf_setup "${extra[@]}"
cable_start plix 5 6
cable_start pico 7 8

work="$PERF_DIR/peer"
rm -rf "$work"
mkdir -p "$work"
case "$PEER_DATA" in
  random) head -c "$BYTES" /dev/urandom >"$work/sent.bin" ;;
  text | cr)
    python3 - "$BYTES" "$PEER_DATA" >"$work/sent.bin" <<'PY'
import sys
size, kind = int(sys.argv[1]), sys.argv[2]
letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,;:-"
end = "\r\n" if kind == "text" else "\r"
out, n = [], 0
while n < size:
    line = "".join(letters[(i * 7 + len(out)) % len(letters)] for i in range(62)) + end
    out.append(line)
    n += len(line)
sys.stdout.write("".join(out)[:size])
PY
    ;;
  *) log "PEER_DATA must be random, text or cr"; exit 2 ;;
esac
# Wine's own processes (explorer, services, ...) keep wineserver busy even
# with no program running; that rate, measured now, is taken off its share.
b0=$(cpu_seconds "$WINESERVER_PID"); bt0=$(date +%s.%N)
sleep "$PEER_BASELINE"
b1=$(cpu_seconds "$WINESERVER_PID"); bt1=$(date +%s.%N)
perf_start_plix "$work"
perf_ctl open "$PEER_SAVE" 5 | tee "$work/open.log"
grep -q '^terminals=1 ' "$work/open.log" || { log "COM5 did not open"; exit 1; }
perf_ctl size | tee "$work/size.log"
if [ "$PEER_WINDOW" = min ]; then perf_ctl minimize | tee "$work/minimize.log"; fi

if [ "$PEER_PICOCOM" = xterm ]; then
  # picocom in a terminal that draws what it prints, on an X server of its own
  # so that the drawing of each side can be counted apart.
  rm -f "$work/xvfb2.display"
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/xvfb2.display" </dev/null >"$work/xvfb2.log" 2>&1 &
  XVFB2_PID=$!
  for ((i = 0; i < 100; i++)); do [ -s "$work/xvfb2.display" ] && break; sleep 0.05; done
  DISPLAY=":$(tr -dc 0-9 <"$work/xvfb2.display")" xterm -geometry 80x35 -e picocom -q -b 115200 --nolock --imap spchex,8bithex \
    --logfile "$work/picocom.bin" "$(cable_path pico near)" >"$work/picocom.out" 2>&1 &
  XTERM_PID=$!
  for ((i = 0; i < 100; i++)); do
    PICO_PID=$(pgrep -n -x picocom -P "$XTERM_PID" 2>/dev/null || true)
    [ -n "$PICO_PID" ] && break
    sleep 0.1
  done
else
  # picocom reads keys from stdin: give it a pipe that stays open, not a terminal.
  # It runs in a session of its own: on SIGTERM picocom signals its whole
  # process group (kill(0, ...)), which would otherwise end this script.
  setsid bash -c 'sleep 100000 | exec picocom -q -b 115200 --nolock --logfile "$1" "$2" >"$3" 2>&1' \
    picocom "$work/picocom.bin" "$(cable_path pico near)" "$work/picocom.out" &
  PICO_SID=$!
  for ((i = 0; i < 50; i++)); do
    PICO_PID=$(pgrep -x picocom -s "$PICO_SID" 2>/dev/null | head -1 || true)
    [ -n "$PICO_PID" ] && break
    sleep 0.1
  done
fi
[ -n "$PICO_PID" ] || { log "picocom did not start"; exit 1; }
sleep 1
if [ "$PEER_PERF" = 1 ]; then
  perf record -q -F 999 -o "$work/perf.data" -p "$PLIX_PID,$WINESERVER_PID" >"$work/perf.log" 2>&1 &
  PERF_PID=$!
  sleep 1
fi

p0=$(cpu_seconds "$PLIX_PID"); s0=$(cpu_seconds "$WINESERVER_PID"); x0=$(cpu_seconds "$XVFB_PID")
c0=$(cpu_seconds "$PICO_PID")
t0c=0; [ -n "$XTERM_PID" ] && t0c=$(cpu_seconds "$XTERM_PID")
y0=0; [ -n "$XVFB2_PID" ] && y0=$(cpu_seconds "$XVFB2_PID")
t0=$(date +%s.%N)
python3 - "$work/sent.bin" "$RATE" "$(cable_path plix far)" "$(cable_path pico far)" <<'PY'
import os, sys, time
data = open(sys.argv[1], "rb").read()
rate = int(sys.argv[2])
outs = [os.open(p, os.O_WRONLY | os.O_NOCTTY) for p in sys.argv[3:]]
slice_ = max(1, rate // 10)
start = time.monotonic()
for n, i in enumerate(range(0, len(data), slice_)):
    chunk = data[i:i + slice_]
    for fd in outs:
        view = memoryview(chunk)
        while view:
            view = view[os.write(fd, view):]
    delay = start + (n + 1) * 0.1 - time.monotonic()
    if delay > 0:
        time.sleep(delay)
PY
tw=$(date +%s.%N)
plix_capture=$work/kOM5.txt
[ "$PEER_SAVE" = 1 ] || plix_capture=$work/sent.bin
for ((i = 0; i < 600; i++)); do
  [ "$(stat -c %s "$plix_capture" 2>/dev/null || echo 0)" -ge "$BYTES" ] &&
    [ "$(stat -c %s "$work/picocom.bin" 2>/dev/null || echo 0)" -ge "$BYTES" ] && break
  sleep 0.1
done
t1=$(date +%s.%N)
p1=$(cpu_seconds "$PLIX_PID"); s1=$(cpu_seconds "$WINESERVER_PID"); x1=$(cpu_seconds "$XVFB_PID")
c1=$(cpu_seconds "$PICO_PID")
t1c=0; [ -n "$XTERM_PID" ] && t1c=$(cpu_seconds "$XTERM_PID")
y1=0; [ -n "$XVFB2_PID" ] && y1=$(cpu_seconds "$XVFB2_PID")
if [ -n "$PERF_PID" ]; then
  kill -INT "$PERF_PID"; wait "$PERF_PID" 2>/dev/null || true; PERF_PID=
  echo "perf: share of samples of plix32.exe and wineserver, by process and shared object:"
  perf report -i "$work/perf.data" --stdio --sort comm,dso 2>/dev/null | grep -v '^#' | grep -v '^$' | head -25
fi
perf_ctl boxes | tee "$work/boxes-after.log"

status=0
if [ "$PEER_SAVE" = 1 ]; then
  cmp "$work/sent.bin" "$work/kOM5.txt" || { log "plix32 capture differs"; status=1; }
fi
cmp "$work/sent.bin" "$work/picocom.bin" || { log "picocom log differs"; status=1; }
d() { echo "$1 $2" | awk '{print $2 - $1}'; }
awk -v b="$BYTES" -v r="$RATE" -v el="$(d "$t0" "$t1")" -v w="$(d "$t0" "$tw")" -v p="$(d "$p0" "$p1")" \
    -v s="$(d "$s0" "$s1")" -v x="$(d "$x0" "$x1")" -v c="$(d "$c0" "$c1")" -v xt="$(d "$t0c" "$t1c")" -v y="$(d "$y0" "$y1")" \
    -v variant="save=$PEER_SAVE data=$PEER_DATA window=$PEER_WINDOW picocom=$PEER_PICOCOM" \
    -v base="$(d "$b0" "$b1")" -v bel="$(d "$bt0" "$bt1")" 'BEGIN {
  mb = b / 1048576
  idle = bel > 0 ? base / bel * el : 0   # wineserver with no program, over this run
  own = s - idle; if (own < 0) own = 0
  printf "variant: %s\n", variant
  printf "%d bytes paced at %d B/s: sent in %.1f s, both captured after %.1f s\n", b, r, w, el
  printf "plix32.exe  %7.3f CPU s = %.3f CPU s/MiB\n", p, p / mb
  printf "wineserver  %7.3f CPU s = %.3f CPU s/MiB, of which %.3f CPU s/MiB with no program running (%.4f CPU s/s)\n", s, s / mb, idle / mb, (bel > 0 ? base / bel : 0)
  printf "Xvfb        %7.3f CPU s = %.3f CPU s/MiB (drawing; not counted below)\n", x, x / mb
  printf "picocom     %7.3f CPU s = %.3f CPU s/MiB\n", c, c / mb
  if (c > 0) printf "ratio (plix32.exe + its share of wineserver) / picocom = %.2f\n", (p + own) / c
  if (xt > 0) {
    printf "ratio (plix32.exe + wineserver) / picocom = %.1f; plix32.exe alone / picocom = %.1f\n", (p + s) / c, p / c
    printf "xterm       %6.2f CPU s = %.3f CPU s/MiB (renders picocom)\n", xt, xt / mb
    printf "Xvfb xterm  %6.2f CPU s = %.3f CPU s/MiB (xterm'"'"'s X server)\n", y, y / mb
    printf "with the terminals that draw: plix32.exe + wineserver + Xvfb = %.3f CPU s/MiB, picocom + xterm + its Xvfb = %.3f CPU s/MiB, ratio %.1f\n", (p + s + x) / mb, (c + xt + y) / mb, (c + xt + y > 0) ? (p + s + x) / (c + xt + y) : 0
    exit
  }
  if (c > 0) printf "ratio (plix32.exe + wineserver) / picocom = %.2f; plix32.exe alone / picocom = %.2f\n", (p + s) / c, p / c
  else printf "picocom used no CPU time; ratio undefined\n"
}'
[ $status -eq 0 ] && echo "both captures equal the bytes sent"
exit $status
