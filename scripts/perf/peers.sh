#!/usr/bin/env bash
# Plix32 under Wine, window shown, beside PuTTY (serial mode, GTK) and picocom
# in an xterm, each on an Xvfb and a socat cable of its own, and picocom alone
# as the floor, all receiving the same bytes at the same paced rate at once.
# Prints the CPU seconds per MiB of each with what they count, the ratios, and
# checks that every peer's capture equals the bytes sent. By default one round
# of CR LF text and one of random bytes, 5 MiB each at 30720 B/s (about
# seven minutes).
#
#   scripts/perf/peers.sh [--data text,random,cr,pattern] [--bytes N] [--rate N]
#                         [--peers program,putty,xterm,picocom] [--window min]
#                         [--check off,on,off,on | --log off,on] [--save 0] [--perf] [--shots]
#                         ... (--help lists all)
#
# --check runs one round per entry with the program's Check Test Data off or
# on, and reads its Port Statistics after each round. --log does the same with
# Log To File, and checks the program's log file after each round.
#
# This wrapper builds the program (PLIX_EXE overrides it), sets up Wine and
# the cables through lib.sh; scripts/perf/peers.py does the rest. Results are
# also written to build/perf/peers/results.json.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$PLIX_ROOT"
for a in "$@"; do
  case $a in -h | --help) PLIX_ROOT=$PLIX_ROOT PERF_DIR=$PERF_DIR WINEPREFIX="" DISPLAY="" WINESERVER_PID=0 \
    XVFB_PID=0 PLIX_EXE="" python3 scripts/perf/peers.py --help; exit 0 ;; esac
done
extra=(python3 picocom putty xterm)
case " $* " in *" --perf "*) extra+=(linux-perf) ;; esac
case " $* " in *" --shots "*) extra+=(imagemagick) ;; esac

trap perf_cleanup EXIT
perf_setup "${extra[@]}"
cable_start program 5 6
cable_start putty 7 8
cable_start xterm 9 10
cable_start picocom 11 12
export PLIX_ROOT PERF_DIR PLIX_EXE WINESERVER_PID XVFB_PID
status=0
python3 scripts/perf/peers.py "$@" || status=$?
exit $status
