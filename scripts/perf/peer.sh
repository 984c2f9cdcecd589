#!/usr/bin/env bash
# Side by side with picocom: the same BYTES random bytes (default 5 MiB) are
# written, paced at RATE bytes/s (default 30720) in 100 ms slices, to the far
# ends of two socat cables at once: plix32.exe receives on COM5 with Save To
# Disk on, picocom --logfile on the other cable's near end. Both captures must
# equal the bytes sent. Prints the CPU seconds per MiB of each (plix32.exe with
# and without wineserver's share) and their ratio.
#
#   scripts/perf/peer.sh [BYTES] [RATE]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$PLIX_ROOT"
BYTES=${1:-$((5 * 1024 * 1024))}
RATE=${2:-30720}

PICO_PID=
cleanup() {
  if [ -n "$PICO_PID" ]; then kill "$PICO_PID" 2>/dev/null || true; fi
  perf_cleanup
}
trap cleanup EXIT
perf_setup picocom python3
cable_start plix 5 6
cable_start pico 7 8

work="$PERF_DIR/peer"
rm -rf "$work"
mkdir -p "$work"
head -c "$BYTES" /dev/urandom >"$work/sent.bin"
perf_start_plix "$work"
perf_ctl open 1 5 | tee "$work/open.log"
grep -q '^terminals=1 ' "$work/open.log" || { log "COM5 did not open"; exit 1; }

# picocom reads keys from stdin: give it a pipe that stays open, not a terminal.
(sleep 100000 | exec picocom -q -b 115200 --nolock --logfile "$work/picocom.bin" "$(cable_path pico near)" \
   >"$work/picocom.out" 2>&1) &
for ((i = 0; i < 50; i++)); do
  PICO_PID=$(pgrep -n -x picocom -P "$(pgrep -n -f "sleep 100000" || echo 1)" 2>/dev/null || true)
  [ -z "$PICO_PID" ] && PICO_PID=$(pgrep -n -x picocom || true)
  [ -n "$PICO_PID" ] && grep -q "$(cable_path pico near)" "/proc/$PICO_PID/cmdline" 2>/dev/null && break
  PICO_PID=
  sleep 0.1
done
[ -n "$PICO_PID" ] || { log "picocom did not start"; exit 1; }
sleep 1

p0=$(cpu_seconds "$PLIX_PID"); s0=$(cpu_seconds "$WINESERVER_PID"); x0=$(cpu_seconds "$XVFB_PID")
c0=$(cpu_seconds "$PICO_PID")
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
for ((i = 0; i < 600; i++)); do
  [ "$(stat -c %s "$work/kOM5.txt" 2>/dev/null || echo 0)" -ge "$BYTES" ] &&
    [ "$(stat -c %s "$work/picocom.bin" 2>/dev/null || echo 0)" -ge "$BYTES" ] && break
  sleep 0.1
done
t1=$(date +%s.%N)
p1=$(cpu_seconds "$PLIX_PID"); s1=$(cpu_seconds "$WINESERVER_PID"); x1=$(cpu_seconds "$XVFB_PID")
c1=$(cpu_seconds "$PICO_PID")
perf_ctl boxes | tee "$work/boxes-after.log"

status=0
cmp "$work/sent.bin" "$work/kOM5.txt" || { log "plix32 capture differs"; status=1; }
cmp "$work/sent.bin" "$work/picocom.bin" || { log "picocom log differs"; status=1; }
d() { echo "$1 $2" | awk '{print $2 - $1}'; }
awk -v b="$BYTES" -v r="$RATE" -v el="$(d "$t0" "$t1")" -v w="$(d "$t0" "$tw")" -v p="$(d "$p0" "$p1")" \
    -v s="$(d "$s0" "$s1")" -v x="$(d "$x0" "$x1")" -v c="$(d "$c0" "$c1")" 'BEGIN {
  mb = b / 1048576
  printf "%d bytes paced at %d B/s: sent in %.1f s, both captured after %.1f s\n", b, r, w, el
  printf "plix32.exe  %6.2f CPU s = %.3f CPU s/MiB\n", p, p / mb
  printf "wineserver  %6.2f CPU s = %.3f CPU s/MiB\n", s, s / mb
  printf "Xvfb        %6.2f CPU s = %.3f CPU s/MiB (drawing; not counted below)\n", x, x / mb
  printf "picocom     %6.2f CPU s = %.3f CPU s/MiB\n", c, c / mb
  if (c > 0) printf "ratio (plix32.exe + wineserver) / picocom = %.1f; plix32.exe alone / picocom = %.1f\n", (p + s) / c, p / c
  else printf "picocom used less than one clock tick; ratio undefined\n"
}'
[ $status -eq 0 ] && echo "both captures equal the bytes sent"
exit $status
