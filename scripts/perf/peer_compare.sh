#!/usr/bin/env bash
# Before and after in one run on one machine: builds plix32.exe as it was at
# REV (default 06a0a34, the last build that drew rows with a band and an
# anti-aliased TextOut), then runs scripts/perf/peer.sh on it and on the
# current build with the same arguments, one after the other, and prints both
# results. Environment variables of peer.sh (PEER_WINDOW, PEER_DATA, ...) apply
# to both runs. The program's figure counts its Xvfb too (the drawing), as
# peers.sh does.
#
# RATE "max" compares sustained receive instead: peers.sh --throughput with
# the program alone, before and after, MiB/s and CPU s per MiB.
#
#   scripts/perf/peer_compare.sh [BYTES] [RATE|max] [REV]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$PLIX_ROOT"
BYTES=${1:-$((5 * 1024 * 1024))}
RATE=${2:-30720}
REV=${3:-06a0a34}

ensure_packages "${BUILD_PACKAGES[@]}" "${WINE_PACKAGES[@]}" || exit 1
src="$PERF_DIR/before-src"
mkdir -p "$PERF_DIR"
rm -rf "$src"
git worktree prune
git worktree add --detach -f "$src" "$REV" >"$PERF_DIR/before-worktree.log" 2>&1
(cd "$src" && cmake --preset win64 && cmake --build --preset win64 --target plix32) >"$PERF_DIR/build-before.log" 2>&1 ||
  { tail -30 "$PERF_DIR/build-before.log"; exit 1; }
# peer.sh finds the program's Linux process by the name plix32.exe.
mkdir -p "$PERF_DIR/before"
cp "$src/build/win64/plix32.exe" "$PERF_DIR/before/plix32.exe"
git worktree remove --force "$src"
build_preset win64 >"$PERF_DIR/build-win64.log" 2>&1 || { tail -30 "$PERF_DIR/build-win64.log"; exit 1; }

run() {
  local label=$1 exe=$2
  echo "== $label: $exe"
  if [ "$RATE" = max ]; then
    PLIX_EXE="$exe" scripts/perf/peers.sh --throughput --peers program --data text --bytes "$BYTES" |
      tee "$PERF_DIR/throughput-$label.log"
    return
  fi
  PLIX_EXE="$exe" scripts/perf/peer.sh "$BYTES" "$RATE" | tee "$PERF_DIR/peer-$label.log"
  cp "$PERF_DIR/peers/results.json" "$PERF_DIR/peer-$label.json"
}
run before "$PERF_DIR/before/plix32.exe"
run after "$PLIX_ROOT/build/win64/plix32.exe"
if [ "$RATE" = max ]; then
  echo "== summary (sustained receive, one after the other in this run)"
  for label in before after; do printf '%-6s ' "$label"; grep -m1 'MiB/s' "$PERF_DIR/throughput-$label.log"; done
  exit 0
fi
echo "== summary (CPU s per MiB; the program counts wineserver less its rate with no program running)"
python3 - "$PERF_DIR" <<'PY'
import json, sys
for label in ("before", "after"):
    r = json.load(open("%s/peer-%s.json" % (sys.argv[1], label)))["rounds"][0]
    mb = r["bytes"] / 1048576
    prog = r["peers"]["program"]
    parts = dict(prog["parts"])
    peer = "xterm" if "xterm" in r["peers"] else "picocom"
    other = r["peers"][peer]["cpu"]
    print("%-6s plix32.exe %.3f  wineserver %.3f (of which %.3f with no program)  Xvfb %.3f  %s %.3f  ratio %.2f"
          % (label, parts["plix32.exe"] / mb, parts["wineserver"] / mb, prog["wineserver_idle"] / mb,
             parts["Xvfb"] / mb, peer, other / mb, prog["cpu"] / other))
PY
