#!/usr/bin/env bash
# Runs every test on a Debian 12 machine: installs what is missing, then builds
# and tests the native preset (unit tests under ASan + UBSan), the mingw preset
# (Tavelin.scr, the Wine contract tests and the end-to-end tests under Wine +
# Xvfb, the installer) and the fuzz preset (each fuzz target for a bounded time).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${TAVELIN_JOBS:-$(nproc)}

step() { printf '\n==== %s (%s)\n' "$1" "$(date +%H:%M:%S)"; }

step "dependencies"
tools/deps.sh test

for preset in native mingw fuzz; do
  step "configure $preset"
  cmake --preset "$preset" >/dev/null
  step "build $preset"
  cmake --build --preset "$preset" -j "$jobs"
done

status=0
for preset in native mingw fuzz; do
  step "test $preset"
  ctest --preset "$preset" -j "$jobs" || status=1
done
step "done"
exit $status
