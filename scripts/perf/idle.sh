#!/usr/bin/env bash
# Idle cost: plix32.exe under Wine with 8 ports open (both ends of 4 socat
# cables, COM1..COM8) and no traffic. Prints the CPU seconds per minute of the
# program's process, of wineserver, of Xvfb and of wine's other processes,
# read from /proc over SECONDS (default 60).
#
#   scripts/perf/idle.sh [SECONDS]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$PLIX_ROOT"
SECONDS_IDLE=${1:-60}

trap perf_cleanup EXIT
perf_setup
for c in 1 2 3 4; do cable_start "idle$c" $((2 * c - 1)) $((2 * c)); done

work="$PERF_DIR/idle"
rm -rf "$work"
perf_start_plix "$work"
perf_ctl open 0 1 2 3 4 5 6 7 8 | tee "$work/open.log"
grep -q '^terminals=8 ' "$work/open.log" || { log "not all 8 ports opened"; exit 1; }
sleep 5  # let the first passes and paints finish

others=$(wine_other_pids | tr '\n' ' ')
p0=$(cpu_seconds "$PLIX_PID"); s0=$(cpu_seconds "$WINESERVER_PID")
x0=$(cpu_seconds "$XVFB_PID"); o0=$(cpu_seconds_sum $others)
sleep "$SECONDS_IDLE"
p1=$(cpu_seconds "$PLIX_PID"); s1=$(cpu_seconds "$WINESERVER_PID")
x1=$(cpu_seconds "$XVFB_PID"); o1=$(cpu_seconds_sum $others)

perf_ctl boxes | tee "$work/boxes-after.log"
report() {
  awk -v name="$1" -v a="$2" -v b="$3" -v t="$SECONDS_IDLE" \
    'BEGIN {d = b - a; printf "%-22s %6.2f CPU s in %d s = %6.3f CPU s/min = %5.2f%% of one core\n", name, d, t, d * 60 / t, d * 100 / t}'
}
echo "idle, 8 ports open, no traffic, ${SECONDS_IDLE} s (CPU time from /proc/PID/task/*/schedstat):"
report "plix32.exe" "$p0" "$p1"
report "wineserver" "$s0" "$s1"
report "Xvfb" "$x0" "$x1"
report "other wine processes" "$o0" "$o1"
report "plix32.exe+wineserver" "$(echo "$p0 $s0" | awk '{print $1 + $2}')" "$(echo "$p1 $s1" | awk '{print $1 + $2}')"
