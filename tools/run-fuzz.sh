#!/usr/bin/env bash
# Runs one libFuzzer target for a bounded time: run-fuzz.sh TARGET WORKDIR SEEDDIR [libFuzzer flags...]
set -euo pipefail
target=$1 work=$2 seeds=$3
shift 3
mkdir -p "$work"
dirs=("$work")
[ -d "$seeds" ] && dirs+=("$seeds")
exec "$target" "$@" "${dirs[@]}"
