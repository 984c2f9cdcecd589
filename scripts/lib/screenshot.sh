#!/usr/bin/env bash
# Screenshot of plix32.exe with two ports of one cable open (COM5 <-> COM6),
# each showing the test pattern the other sent, windows tiled. With "check",
# Check Test Data is on and the Port Statistics dialog is open. With
# "hexdump", COM5 alone shows what COM6 sent with Hex Dump on. With "find",
# COM5 shows a device's log, a line found by the Find dialog selected. With
# "send", a file goes out a line at a time, the Sending dialog over it.
#   bash scripts/lib/screenshot.sh [OUT.png [check|hexdump|find|send]]   (default build/plix32-two-ports.png)
# Needs the win64 build (plix32.exe and tests/e2e/plix_screenshot.exe).
set -euo pipefail
source "$(dirname "$0")/common.sh"
source "$(dirname "$0")/wine.sh"
out=${1:-build/plix32-two-ports.png}
[[ $out == /* ]] || out="$PWD/$out"
cd "$PLIX_ROOT"

helper=build/win64/tests/e2e/plix_screenshot.exe
[[ -f build/win64/plix32.exe && -f $helper ]] || { log "build the win64 preset first"; exit 1; }
ensure_packages "${WINE_PACKAGES[@]}" imagemagick

# A prefix of its own: the e2e run stops its wineserver when it ends.
trap wine_cleanup EXIT
wine_setup_prefix build/wineprefix-shot
wine_start_display
cable_start shot 5 6

run=build/screenshot-run
rm -rf "$run"
mkdir -p "$run"
export PLIX_EXE='build\win64\plix32.exe' PLIX_SHOT_WORKDIR='build\screenshot-run'
wine "$helper" 'build\screenshot-run\done' ${2:-} >"$run/helper.log" 2>&1 &
helper_pid=$!
for ((i = 0; i < 300; i++)); do
  grep -q READY "$run/helper.log" 2>/dev/null && break
  kill -0 "$helper_pid" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q READY "$run/helper.log"; then
  cat "$run/helper.log" >&2
  log "the program was not set up"
  exit 1
fi
mkdir -p "$(dirname "$out")"
import -window root "$out"
# The frame only, as it stands at the top left of the display.
case ${2:-} in hexdump | find | send) mogrify -crop 768x576+0+0 +repage "$out" ;; esac
: >"$run/done"
wait "$helper_pid" || { cat "$run/helper.log" >&2; log "plix32.exe did not end cleanly"; exit 1; }
log "screenshot: $out"
