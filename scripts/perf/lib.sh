# shellcheck shell=bash
# Shared by the performance scripts: builds plix32.exe and the plixctl driver,
# starts Wine on a private display in its own prefix, starts the program, and
# reads CPU time from /proc.
#
#   source scripts/perf/lib.sh
#   perf_setup                 # builds, prefix build/perf/wineprefix, Xvfb, wineserver
#   perf_start_plix DIR        # plix32.exe with DIR as its current directory; sets PLIX_PID
#   perf_ctl open 1 5 6        # runs build/perf/plixctl.exe
#   cpu_seconds PID            # user + system CPU seconds of a process so far
#
# PLIX_EXE overrides the program (default build/win64/plix32.exe).
source "$(dirname "${BASH_SOURCE[0]}")/../lib/common.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../lib/wine.sh"

PERF_DIR="$PLIX_ROOT/build/perf"
CLK_TCK=$(getconf CLK_TCK)

perf_build() {
  mkdir -p "$PERF_DIR"
  if [ -z "${PLIX_EXE:-}" ]; then
    build_preset win64 >"$PERF_DIR/build-win64.log" 2>&1 || { tail -30 "$PERF_DIR/build-win64.log"; return 1; }
    PLIX_EXE="$PLIX_ROOT/build/win64/plix32.exe"
  fi
  x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -Wall -Wextra -static \
    -o "$PERF_DIR/plixctl.exe" "$PLIX_ROOT/tests/e2e/plixctl.cpp" || return 1
}

perf_setup() {
  ensure_packages "${BUILD_PACKAGES[@]}" "${WINE_PACKAGES[@]}" "$@" || return 1
  perf_build || return 1
  wine_setup_prefix "$PERF_DIR/wineprefix" || return 1
  wine_start_display || return 1
  wine_start_server || return 1
  WINESERVER_PID=$(cat "$WINEPREFIX/.run/wineserver.pid")
  XVFB_PID=$(cat "$WINEPREFIX/.run/xvfb.pid")
}

perf_ctl() { wine "$PERF_DIR/plixctl.exe" "$@"; }

# perf_start_plix DIR: start the program in DIR; PLIX_PID is its Linux process.
perf_start_plix() {
  local dir=$1 i
  mkdir -p "$dir"
  (cd "$dir" && exec wine "$PLIX_EXE" </dev/null >"$dir/plix32.log" 2>&1) &
  PLIX_PID=$!
  # wine execs its loader in the same process; wait until it runs the program.
  for ((i = 0; i < 100; i++)); do
    tr '\0' ' ' <"/proc/$PLIX_PID/cmdline" 2>/dev/null | grep -q 'plix32.exe' && return 0
    sleep 0.1
  done
  log "plix32.exe did not start"
  return 1
}

perf_stop_plix() {
  [ -n "${PLIX_PID:-}" ] || return 0
  perf_ctl quit >/dev/null 2>&1 || true
  _wine_kill_pid "$PLIX_PID" plix32.exe
  wait "$PLIX_PID" 2>/dev/null || true
  PLIX_PID=
}

# cpu_seconds PID: CPU seconds of all the threads of a process so far, from
# the scheduler's own count (/proc/PID/task/*/schedstat, nanoseconds). The
# utime and stime of /proc/PID/stat are sampled at clock ticks (10 ms here),
# too coarse for a process that uses a tenth of a second in a run.
cpu_seconds() {
  local total
  total=$(cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ns += $1} END {if (NR) printf "%.4f\n", ns / 1e9}')
  if [ -n "$total" ]; then
    echo "$total"
    return
  fi
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || { echo 0; return; }
  # The command name may hold blanks: count fields after its closing parenthesis.
  echo "${stat##*) }" | awk -v hz="$CLK_TCK" '{printf "%.2f\n", ($12 + $13) / hz}'
}

# The other processes of this prefix (wine's services, explorer, ...).
wine_other_pids() {
  local p
  for p in /proc/[0-9]*; do
    p=${p#/proc/}
    [ "$p" = "${PLIX_PID:-}" ] && continue
    [ "$p" = "${WINESERVER_PID:-}" ] && continue
    { tr '\0' '\n' <"/proc/$p/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$p"
  done
  return 0
}

cpu_seconds_sum() {
  local total=0 p
  for p in "$@"; do total=$(echo "$total $(cpu_seconds "$p")" | awk '{printf "%.4f", $1 + $2}'); done
  echo "$total"
}

perf_cleanup() {
  perf_stop_plix
  wine_cleanup
}
