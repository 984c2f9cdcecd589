#!/usr/bin/env bash
# Loss-free receive under Wine: the far end of a socat cable (COM6) gets BYTES
# random bytes (default 5 MiB) written as fast as the pseudo-terminal accepts
# them, while plix32.exe has COM5 open with Save To Disk on. The capture file
# must equal the bytes sent. Prints the sustained rate and the CPU time used.
#
#   scripts/perf/e2e_rate.sh [BYTES]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$PLIX_ROOT"
BYTES=${1:-$((5 * 1024 * 1024))}

trap perf_cleanup EXIT
perf_setup
cable_start rate 5 6
far=$(cable_path rate far)

work="$PERF_DIR/e2e-rate"
rm -rf "$work"
mkdir -p "$work"
head -c "$BYTES" /dev/urandom >"$work/sent.bin"
perf_start_plix "$work"
perf_ctl open 1 5 | tee "$work/open.log"
grep -q '^terminals=1 ' "$work/open.log" || { log "COM5 did not open"; exit 1; }

p0=$(cpu_seconds "$PLIX_PID"); s0=$(cpu_seconds "$WINESERVER_PID"); x0=$(cpu_seconds "$XVFB_PID")
t0=$(date +%s.%N)
cat "$work/sent.bin" >"$far"
tw=$(date +%s.%N)
# The last blocks are still in the cable when the writer is done.
for ((i = 0; i < 600; i++)); do
  [ "$(stat -c %s "$work/kOM5.txt" 2>/dev/null || echo 0)" -ge "$BYTES" ] && break
  sleep 0.1
done
t1=$(date +%s.%N)
p1=$(cpu_seconds "$PLIX_PID"); s1=$(cpu_seconds "$WINESERVER_PID"); x1=$(cpu_seconds "$XVFB_PID")
perf_ctl boxes | tee "$work/boxes-after.log"

if cmp "$work/sent.bin" "$work/kOM5.txt"; then
  result="capture file equals the $BYTES bytes sent"
  status=0
else
  result="capture file DIFFERS from the bytes sent ($(stat -c %s "$work/kOM5.txt" 2>/dev/null || echo 0) bytes captured)"
  status=1
fi
awk -v b="$BYTES" -v t0="$t0" -v tw="$tw" -v t1="$t1" -v p="$(echo "$p0 $p1" | awk '{print $2 - $1}')" \
    -v s="$(echo "$s0 $s1" | awk '{print $2 - $1}')" -v x="$(echo "$x0 $x1" | awk '{print $2 - $1}')" 'BEGIN {
  d = t1 - t0; mb = b / 1048576
  printf "%d bytes in %.1f s (writer done after %.1f s): %.1f KiB/s = %.0f bytes per 100 ms tick\n", b, d, tw - t0, b / d / 1024, b / d / 10
  printf "CPU: plix32.exe %.2f s, wineserver %.2f s, Xvfb %.2f s; plix32+wineserver %.3f CPU s/MiB\n", p, s, x, (p + s) / mb
}'
echo "$result"
exit $status
