#!/usr/bin/env bash
# Runs the cross-compiled end-to-end tests under Wine, on a private Xvfb,
# with a pseudo-terminal cable mapped as COM5 <-> COM6. COM9 stays unmapped.
set -euo pipefail
source "$(dirname "$0")/common.sh"
source "$(dirname "$0")/wine.sh"
cd "$PLIX_ROOT"

trap wine_cleanup EXIT
wine_setup_prefix build/wineprefix
wine_start_display
cable_start e2e 5 6

export PLIX_E2E_PORT=COM5 PLIX_E2E_FAR=COM6 PLIX_E2E_MISSING=COM9
# The soak and hostile tests start cables of their own with wine.sh from here.
export PLIX_ROOT
# e2e_app starts the program itself; it runs in a directory of its own, where
# its capture files land. Paths are relative to this directory, which is the
# drivers' current directory under Wine too.
export PLIX_EXE='build\win64\plix32.exe' PLIX_E2E_WORKDIR='build\e2e-app'
rm -rf build/e2e-app
mkdir -p build/e2e-app
status=0
# PLIX_E2E_ONLY=e2e_app runs one of them (GTEST_FILTER picks tests within it).
for exe in build/win64/tests/e2e/${PLIX_E2E_ONLY:-e2e_*}.exe; do
  log "running $(basename "$exe")"
  timeout 300 wine "$exe" || status=1
done
exit $status
