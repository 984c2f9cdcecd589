#!/usr/bin/env bash
# The echo loop: plix32.exe sends its test pattern back to back on COM5 with
# Check Test Data on, and a plug at the far end of the socat cable (a Linux
# process, so that the plug is not what limits) sends every byte back. After
# SECONDS (default 20) prints what the status bar says: bytes checked and
# faults, and the round-trip rate.
#
#   scripts/perf/echo.sh [SECONDS]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$PLIX_ROOT"
SECONDS_RUN=${1:-20}

trap 'kill "${PLUG_PID:-0}" 2>/dev/null || true; perf_cleanup' EXIT
perf_setup python3
cable_start echo 5 6
far=$(cable_path echo far)
python3 scripts/lib/echo_plug.py "$far" &
PLUG_PID=$!

work="$PERF_DIR/echo"
rm -rf "$work"
mkdir -p "$work"
perf_start_plix "$work"
perf_ctl open 0 5 | tee "$work/open.log"
perf_ctl command 225 >/dev/null
p0=$(cpu_seconds "$PLIX_PID"); s0=$(cpu_seconds "$WINESERVER_PID")
t0=$(date +%s.%N)
perf_ctl command 213 >/dev/null
sleep "$SECONDS_RUN"
status=$(perf_ctl status)
perf_ctl boxes | tail -3
t1=$(date +%s.%N)
p1=$(cpu_seconds "$PLIX_PID"); s1=$(cpu_seconds "$WINESERVER_PID")
perf_ctl command 213 >/dev/null
echo "$status"
checked=$(sed -n 's/.*checked \([0-9]*\).*/\1/p' <<<"$status")
awk -v c="${checked:-0}" -v t0="$t0" -v t1="$t1" -v p="$(echo "$p0 $p1" | awk '{print $2 - $1}')" \
    -v s="$(echo "$s0 $s1" | awk '{print $2 - $1}')" 'BEGIN {
  d = t1 - t0; mb = c / 1048576
  printf "echo round trip: %.1f MiB checked in %.1f s = %.2f MiB/s; CPU plix32.exe %.1f s, wineserver %.1f s\n", mb, d, mb / d, p, s
}'
grep -q "missing 0  corrupt 0  extra 0" <<<"$status" || { echo "FAULTS"; exit 1; }
