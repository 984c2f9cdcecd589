#!/usr/bin/env bash
# Instruction counts of the receive path (valgrind --tool=callgrind): repeatable
# where wall time on a shared machine is not. Each benchmark runs exactly one
# iteration (--benchmark_min_time=0); the AddText benchmarks then add their data
# once more to check it, so AddText sees 2 x 65536 bytes.
#
#   scripts/perf/callgrind.sh      (after: cmake --build --preset bench)
set -euo pipefail
source "$(dirname "$0")/../lib/common.sh"
cd "$PLIX_ROOT"
bench=build/bench/receive_bench
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
count() {  # count FILTER FUNCTION: inclusive instructions of FUNCTION
  valgrind --tool=callgrind --callgrind-out-file="$out/cg" "$bench" --benchmark_filter="$1" \
    --benchmark_min_time=0 >/dev/null 2>&1
  callgrind_annotate --inclusive=yes "$out/cg" 2>/dev/null | grep -F "$2" | head -1 | awk '{gsub(",", "", $1); print $1}'
}
for b in AddTextPrintable AddTextCrLfShown AddTextRandomBinary; do
  n=$(count "BM_$b\$" 'ComPort::AddText(char const*, int) [')
  awk -v b="$b" -v n="$n" 'BEGIN {printf "%-22s AddText %12d instructions for 131072 bytes = %6.1f per byte\n", b, n, n / 131072}'
done
for a in 0 1; do
  n=$(count "BM_PollPassTick/$a\$" 'PollAllPorts() [')
  awk -v a="$a" -v n="$n" 'BEGIN {printf "PollPassTick/%d        PollAllPorts %12d instructions for 120000 bytes = %6.1f per byte\n", a, n, n / 120000}'
done
