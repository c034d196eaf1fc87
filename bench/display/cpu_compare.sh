#!/usr/bin/env bash
# CPU seconds per minute of scrolling: Tavelin.scr /s and the frame benchmark under
# Wine against the hack fontglide (xscreensaver-data-extra), each alone on its own
# Xvfb at 1920x1080, three runs and their medians; with OLD_BUILD, that build's
# saver and frame tick measured in the same runs; with RECALL=1, this build's with
# Recall on too.
#   bench/display/cpu_compare.sh BUILD_DIR [SECONDS] [OLD_BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?build dir of the mingw preset}
seconds=${2:-60}
old=()
[ -n "${3:-}" ] && old=(--old "$3")
[ "${RECALL:-0}" = 1 ] && old+=(--recall)
exec python3 "$here/cpu_compare.py" --build "$build" --seconds "$seconds" --runs "${RUNS:-3}" "${old[@]}"
