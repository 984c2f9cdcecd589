#!/usr/bin/env bash
# Builds probe.exe and runs it on a virtual cable, acting on the far pty at
# the probe's SYNC points. Output: $WORK/probe-all.txt, $WORK/probe-msgbox.txt
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
WORK=${WORK:-/tmp/winework}
mkdir -p "$WORK"
# shellcheck source-path=SCRIPTDIR source=../../../scripts/lib/wine.sh
source "$root/scripts/lib/wine.sh"
trap wine_cleanup EXIT

x86_64-w64-mingw32-g++-posix -static -O1 "$here/probe.cpp" -o "$WORK/probe.exe"
wine_setup_prefix "${PREFIX:-$WORK/pfx}"
wine_start_display
cable_start probe 5 6

sync="$WORK/sync"
rm -rf "$sync" && mkdir -p "$sync"
out="$WORK/probe-all.txt"
: >"$out"
wine "$WORK/probe.exe" all '\\.\COM5' '\\.\COM6' "Z:${sync//\//\\}" >"$out" 2>&1 &
probe=$!

done_sync() { : >"$sync/$1.done"; }
handled=""
while kill -0 "$probe" 2>/dev/null; do
    for s in $(sed -n 's/^SYNC //p' "$out" | tr -d '\r'); do
        case " $handled " in *" $s "*) continue ;; esac
        handled="$handled $s"
        case $s in
            stty)
                stty -F "$CABLE_NEAR" -a >"$WORK/stty-near.txt" 2>&1 || true
                stty -F "$CABLE_FAR" -a >"$WORK/stty-far.txt" 2>&1 || true ;;
            farwrite10 | farwrite10b) printf '0123456789' >"$CABLE_FAR" ;;
            farwrite_abc*) sleep 0.2; printf abc >"$CABLE_FAR" ;;
            farread)
                # Opened before the write so nothing is missed.
                timeout 3 dd if="$CABLE_FAR" of="$WORK/far-received.bin" bs=1155 \
                    count=1 iflag=fullblock status=none &
                reader=$!
                sleep 0.2 ;;
            farread_done) wait "$reader" || true ;;
        esac
        done_sync "$s"
    done
    sleep 0.05
done
status=0
wait "$probe" || { echo "probe exit status $?" >>"$out"; status=1; }

expected=$(python3 -c "print(''.join(chr(65 + i % 26) for i in range(1155)), end='')")
if [[ $(cat "$WORK/far-received.bin" 2>/dev/null) == "$expected" ]]; then
    echo "far_received_1155: match" >>"$out"
else
    status=1
    echo "far_received_1155: MISMATCH ($(stat -c %s "$WORK/far-received.bin" 2>/dev/null || echo 0) bytes)" >>"$out"
fi
wine "$WORK/probe.exe" msgbox >"$WORK/probe-msgbox.txt" 2>&1 ||
    { echo "msgbox probe failed: $?" >>"$WORK/probe-msgbox.txt"; status=1; }
cat "$out" "$WORK/probe-msgbox.txt"
exit "$status"
