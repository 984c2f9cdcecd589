#!/usr/bin/env bash
# The program beside one picocom, as scripts/perf/peers.sh measures it (this
# is that script with one peer): the same BYTES (default 5 MiB) paced at RATE
# bytes/s (default 30720) to the program on COM5 (Save To Disk on, window
# shown) and to picocom --logfile on a cable of its own. Both captures must
# equal the bytes sent.
#
#   scripts/perf/peer.sh [BYTES] [RATE]
#
# Variants, to attribute the cost (each maps onto an option of peers.sh):
#   PEER_DATA=random|text|cr   random bytes (default), lines ended by CR LF,
#                              lines ended by CR only (one row painted per tick)
#   PEER_SAVE=0                Save To Disk off (the program's capture is then
#                              not checked)
#   PEER_WINDOW=min            the program's window minimized: nothing drawn
#   PEER_PICOCOM=xterm         picocom in an xterm on an Xvfb of its own, its
#                              drawing counted (xterm + Xvfb); otherwise bare
#   PEER_BASELINE=SECONDS      how long wineserver is measured with no program
#                              running, before and after the run (default 10)
#   PEER_PERF=1                also samples plix32.exe and wineserver with perf
# picocom runs with --imap spchex,8bithex in both forms, as the program spells
# out what is not printable.
set -euo pipefail
peer=picocom
[ "${PEER_PICOCOM:-plain}" = xterm ] && peer=xterm
args=(--bytes "${1:-$((5 * 1024 * 1024))}" --rate "${2:-30720}" --peers "program,$peer"
      --data "${PEER_DATA:-random}" --save "${PEER_SAVE:-1}" --window "${PEER_WINDOW:-normal}"
      --baseline "${PEER_BASELINE:-10}")
[ "${PEER_PERF:-0}" = 1 ] && args+=(--perf)
exec "$(dirname "$0")/peers.sh" "${args[@]}"
