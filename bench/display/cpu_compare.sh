#!/usr/bin/env bash
# CPU seconds per minute of scrolling: the saver's display engine (bench_frame_tick
# run, under Wine) against the hack fontglide (xscreensaver-data-extra), each alone for
# SECONDS on the same private Xvfb at 1920x1080x24, read from /proc/<pid>/stat.
#   bench/display/cpu_compare.sh BUILD_DIR [SECONDS]
set -euo pipefail
build=$(cd "${1:?build dir of the mingw preset}" && pwd)
seconds=${2:-60}
here=$(cd "$(dirname "$0")/../.." && pwd)
bench=$build/bench/bench_frame_tick.exe
fontglide=/usr/libexec/xscreensaver/fontglide
tck=$(getconf CLK_TCK)
[ -x "$fontglide" ] || { echo "cpu_compare: $fontglide missing (Debian package xscreensaver-data-extra)" >&2; exit 2; }

template=$("$here/tools/wine/wine-template" "$build/wine")
prefix=$(mktemp -d "$build/wine/cpu.XXXXXX")
cp -a "$template/." "$prefix/"
xvfb_pid=""
cleanup() {
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$prefix"
}
trap cleanup EXIT

displayfile=$prefix/.display
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$displayfile" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do [ -s "$displayfile" ] && break; sleep 0.05; done
export DISPLAY=:$(head -n1 "$displayfile") WINEPREFIX=$prefix WINEDEBUG=-all LC_ALL=C.UTF-8

# utime + stime of one process, in clock ticks.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }
secs() { awk -v t="$1" -v k="$tck" 'BEGIN { printf "%.2f", t / k }'; }
# Every process of this Wine prefix (the program, wineserver, explorer, services).
prefix_pids() {
  for p in /proc/[0-9]*; do
    if { tr '\0' '\n' <"$p/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$prefix"; then echo "${p#/proc/}"; fi
  done
  return 0
}
sum_ticks() { local t=0; for p in "$@"; do t=$((t + $(ticks "$p"))); done; echo $t; }

# Warm the prefix so start-up work is not counted.
/usr/lib/wine/wine64 "$bench" 1 >/dev/null 2>&1 || true

out=$prefix/.saver-out
x0=$(ticks $xvfb_pid)
/usr/lib/wine/wine64 "$bench" run "$seconds" >"$out" 2>/dev/null &
launcher=$!
for _ in $(seq 1 $((seconds * 10 + 300))); do grep -q '^ran ' "$out" 2>/dev/null && break; sleep 0.1; done
saver_pid=$(pgrep -n -f "bench_frame_tick.exe run" || true)
wine_pids=$(prefix_pids)
saver=$(ticks "$saver_pid")
wine_all=$(sum_ticks $wine_pids)
x1=$(ticks $xvfb_pid)
wait $launcher || true

x2=$(ticks $xvfb_pid)
"$fontglide" -root >/dev/null 2>&1 &
fg_pid=$!
sleep "$seconds"
fg=$(ticks $fg_pid)
x3=$(ticks $xvfb_pid)
kill $fg_pid 2>/dev/null || echo "cpu_compare: fontglide had already ended" >&2
wait $fg_pid 2>/dev/null || true

echo "CPU seconds over $seconds s of scrolling at 1920x1080 (clock ticks of $tck Hz):"
echo "  saver process (display engine under Wine): $(secs "$saver") s   $(cat "$out")"
echo "  all processes of its Wine prefix:           $(secs "$wine_all") s"
echo "  Xvfb while the saver ran:                   $(secs $((x1 - x0))) s"
echo "  fontglide process:                          $(secs "$fg") s"
echo "  Xvfb while fontglide ran:                   $(secs $((x3 - x2))) s"
