#!/usr/bin/env bash
# The first thing to run: builds Tavelin.scr, serves a sample feed on loopback and runs
# the saver under Wine in a private prefix, on your X display or on a private Xvfb
# that it photographs. Everything it starts, it stops.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

usage() {
  cat <<'EOF'
Usage: tools/demo.sh [options]

Builds Tavelin.scr (mingw preset, build/mingw), starts the sample feed service on
127.0.0.1, makes a private Wine prefix whose settings key holds the sample's key code,
the service's address, a company line, the logo, grammar notes and the log, and runs
the saver in it.

With $DISPLAY set, the saver runs on your display: move the mouse to end it (in
--mode c, close the dialog). Without $DISPLAY, or with --xvfb, it runs on a private
Xvfb for a bounded time and photographs the screen every two seconds; the folder
with the pictures and the saver's log is named at the end.

Options:
  --sample NAME   es (Spanish, the default), el (Greek), fr (French with news), or any
                  key code; one without a feed gets the service's 404 page, so the
                  saver scrolls its "No data" error line
  --mode MODE     s: full screen (the default); c: the configuration dialog;
                  p: preview inside a small window of another program
  --seconds N     how long to run on Xvfb (default 45)
  --xvfb          use a private Xvfb even when $DISPLAY is set
  --out DIR       where pictures and the log go (default build/demo/<date>_<time>)
  --publisher     serve the sample's deck (samples/decks/) through tools/tavelin-publish
                  instead of the fixed feed: imports it into a new database in the
                  output folder, adds the key code starting today with every word of
                  the deck a day (and, for fr, the news), prints tavelin-publish show's
                  lines and runs tavelin-publish serve; es, el or fr only. Also starts
                  the web console on that database and prints its address with a demo
                  account's name and password
  --no-deps       do not check the Debian packages
  -h, --help      this text
EOF
}

sample=es mode=s seconds=45 force_xvfb=0 out="" deps=1 publisher=0
while [ $# -gt 0 ]; do
  case $1 in
    --sample) sample=${2:?--sample needs a name}; shift 2 ;;
    --mode) mode=${2:?--mode needs s, c or p}; shift 2 ;;
    --seconds) seconds=${2:?--seconds needs a number}; shift 2 ;;
    --xvfb) force_xvfb=1; shift ;;
    --out) out=${2:?--out needs a folder}; shift 2 ;;
    --publisher) publisher=1; shift ;;
    --no-deps) deps=0; shift ;;
    -h|--help) usage; exit 0 ;;
    *) echo "demo.sh: unknown option '$1' (try --help)" >&2; exit 2 ;;
  esac
done
case $mode in s|c|p) ;; *) echo "demo.sh: --mode is s, c or p" >&2; exit 2 ;; esac
[[ $seconds =~ ^[1-9][0-9]*$ ]] || { echo "demo.sh: --seconds is a whole number above 0" >&2; exit 2; }
deck="" news=""
case $sample in
  es) key=es-en-daily deck=es-en.csv ;;
  el) key=el-en-daily deck=el-en.tsv ;;
  fr) key=fr-en-news deck=fr-en-anki.txt
      news="Today’s theme: the kitchen & the market — at the boulangerie, ask for \"une baguette, s'il vous plaît\"." ;;
  *) key=$sample ;;
esac
if [ $publisher -eq 1 ] && [ -z "$deck" ]; then
  echo "demo.sh: --publisher has decks for es, el and fr only" >&2; exit 2
fi

t0=$SECONDS
timings=()
lap() { timings+=("$(printf '%-26s %4ds' "$1" $((SECONDS - lap_start)))"); lap_start=$SECONDS; }
say() { printf '\n== %s\n' "$*"; }
lap_start=$SECONDS

if [ $deps -eq 1 ]; then
  say "Checking the Debian packages (installs the missing ones)"
  tools/deps.sh demo
  lap "packages"
fi

say "Building Tavelin.scr (build/mingw)"
cmake --preset mingw >/dev/null
targets=(Tavelin)
[ "$mode" = p ] && targets+=(preview_host)
cmake --build build/mingw --target "${targets[@]}" -j "$(nproc)"
scr=$repo/build/mingw/Tavelin.scr
[ -f "$scr" ] || { echo "demo.sh: the build made no $scr" >&2; exit 1; }
lap "build"

out=${out:-$repo/build/demo/$(date +%Y%m%d_%H%M%S)}
mkdir -p "$out"
out=$(cd "$out" && pwd)
wine_root=$repo/build/mingw/wine
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

server_pid="" console_pid="" xvfb_pid="" saver_pid="" host_pid="" prefix=""
cleanup() {
  set +e
  [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null
  # Wine's own kill ends every program of the prefix with its server.
  [ -n "$prefix" ] && WINEPREFIX=$prefix "$wineserver" -k >/dev/null 2>&1
  [ -n "$prefix" ] && WINEPREFIX=$prefix "$wineserver" -w >/dev/null 2>&1
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  [ -n "$console_pid" ] && kill "$console_pid" 2>/dev/null && wait "$console_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  [ -n "$prefix" ] && { "$repo/tools/wine/wine-leftovers" --wait 15 --kill "$prefix" >&2; rm -rf "$prefix"; }
}
trap cleanup EXIT
trap 'exit 130' INT TERM

server_log=$out/feed_server.log
if [ $publisher -eq 1 ]; then
  say "Publishing samples/decks/$deck with tools/tavelin-publish"
  db=$out/publisher.db
  rm -f "$db"   # a fresh database each run, even in a reused --out folder
  today=$(date -u +%F)
  publish() { /usr/bin/python3 -m publisher --db "$db" "$@"; }
  publish deck import "$key" "samples/decks/$deck"
  publish key add "$key" --deck "$key" --start "$today" --per-day 100
  [ -z "$news" ] || publish news set "$news" --from "$today" --key "$key"
  echo "today's lines for $key, as tavelin-publish show --extra gives them:"
  publish show "$key" --extra | sed 's/^/  /'
  server_log=$out/publisher.log
  /usr/bin/python3 -u -m publisher --db "$db" serve --port 0 >"$server_log" 2>&1 &
else
  say "Starting the sample feed service"
  python3 -u tools/feed_server.py >"$server_log" 2>&1 &
fi
server_pid=$!
for _ in $(seq 1 600); do grep -q '^PORT=' "$server_log" && break; sleep 0.05; done
port=$(sed -n 's/^PORT=//p' "$server_log" | head -n1)
[ -n "$port" ] || { echo "demo.sh: the feed service did not start:" >&2; cat "$server_log" >&2; exit 1; }
if [ $publisher -eq 1 ]; then
  echo "tavelin-publish serve answers at http://127.0.0.1:$port/auth/$key.xml"
  say "Starting the web console"
  demo_password=$(head -c 12 /dev/urandom | base64 | tr -d '/+=')
  echo "$demo_password" | publish user add demo --role admin
  console_log=$out/console.log
  /usr/bin/python3 -u -m publisher --db "$db" web --port 0 >"$console_log" 2>&1 &
  console_pid=$!
  for _ in $(seq 1 600); do grep -q '^URL=' "$console_log" && break; sleep 0.05; done
  console_url=$(sed -n 's/^URL=//p' "$console_log" | head -n1)
  [ -n "$console_url" ] || { echo "demo.sh: the web console did not start:" >&2; cat "$console_log" >&2; exit 1; }
  echo "web console: $console_url  account: demo  password: $demo_password"
elif [ -f "samples/feeds/$key.xml" ]; then
  echo "serving samples/feeds/$key.xml at http://127.0.0.1:$port/auth/$key.xml"
else
  echo "no sample is called $key: the service answers 404 and the saver shows its error lines"
fi

say "Making a private Wine prefix"
template=$(tools/wine/wine-template "$wine_root")
prefix=$(mktemp -d "$wine_root/demo.XXXXXX")
cp -a "$template/." "$prefix/"
export WINEPREFIX=$prefix WINEDEBUG=-all LC_ALL=C.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
settings='HKLM\Software\Ombrelle Corporation Ltd\Tavelin ScreenSaver'
regset() {  # tried again on the rare start-up failure of a loaded machine
  for _ in 1 2 3; do
    "$wine64" 'C:\windows\system32\reg.exe' add "$settings" /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1 && return 0
    sleep 0.5
  done
  echo "demo.sh: could not write $1 into the private prefix's registry" >&2; exit 1
}
regset KeyCode REG_SZ "$key"
regset FeedHost REG_SZ "127.0.0.1:$port"
regset Company REG_SZ "Ombrelle Corporation Ltd wishes you a good day"
regset Logo REG_DWORD 1
regset Extra REG_DWORD 1
regset Log REG_DWORD 1
"$wineserver" -w
lap "feed service and prefix"

use_xvfb=$force_xvfb
[ -n "${DISPLAY:-}" ] || use_xvfb=1
if [ $use_xvfb -eq 1 ]; then
  displayfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp -noreset 3>"$displayfile" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 600); do [ -s "$displayfile" ] && break; sleep 0.05; done  # 30 s at most
  [ -s "$displayfile" ] || { echo "demo.sh: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=:$(head -n1 "$displayfile")
  rm -f "$displayfile"
fi

say "Running the saver ($mode) on display $DISPLAY"
cd "$out"   # the saver writes its log into its working folder
case $mode in
  s) "$wine64" "$scr" /s & ;;
  c) "$wine64" "$scr" /c & ;;
  p) # The display settings' little monitor is played by the project's preview host:
     # a window of another program; the saver draws into it until it goes away.
     stop=$out/stop-preview
     "$wine64" "$repo/build/mingw/tools/preview_host.exe" "$("$wine64" winepath -w "$stop")" >"$out/preview_host.log" 2>&1 &
     host_pid=$!
     for _ in $(seq 1 600); do grep -q "^HWND=" "$out/preview_host.log" && break; sleep 0.05; done
     hwnd=$(sed -n 's/^HWND=//p' "$out/preview_host.log" | tr -d '\r' | head -n1)
     [ -n "$hwnd" ] || { echo "demo.sh: the preview host did not open its window" >&2; exit 1; }
     "$wine64" "$scr" /p "$hwnd" & ;;
esac
saver_pid=$!

if [ $use_xvfb -eq 0 ]; then
  case $mode in
    s) echo "Move the mouse to end the saver." ;;
    c) echo "Close the dialog to end the demo." ;;
    p) echo "Close the window 'Preview Host' to end the demo." ;;
  esac
  status=0
  wait "$saver_pid" || status=$?
  saver_pid=""
else
  echo "Photographing the screen every 2 s for $seconds s into $out"
  end=$((SECONDS + seconds)) n=0
  while [ $SECONDS -lt $end ] && kill -0 "$saver_pid" 2>/dev/null; do
    sleep 2
    n=$((n + 1))
    xwd -root -silent | convert xwd:- "$(printf 'screen-%02d.png' $n)" || true
  done
  # End it as a person would: move the mouse (or press Escape in the dialog).
  for _ in $(seq 1 10); do
    kill -0 "$saver_pid" 2>/dev/null || break
    case $mode in
      s) xdotool mousemove_relative -- 40 30 >/dev/null 2>&1 || true ;;
      c) xdotool search --name "Tavelin" windowfocus --sync key Escape >/dev/null 2>&1 || true ;;
      p) touch "$stop" ;;  # the host then destroys its window, and the preview with it
    esac
    sleep 1
  done
  if kill -0 "$saver_pid" 2>/dev/null; then
    echo "the saver did not end on its own; stopping it"
    kill "$saver_pid" 2>/dev/null || true
    wait "$saver_pid" 2>/dev/null || true
    status=124
  else
    status=0
    wait "$saver_pid" || status=$?
  fi
  saver_pid=""
fi
lap "saver run"
cd "$repo"

log=$(ls -t "$out"/Tavelin_*.LOG 2>/dev/null | head -n1 || true)
say "Done in $((SECONDS - t0)) s"
printf '  %s\n' "${timings[@]}"
echo "  saver exit code:        $status"
echo "  pictures and log:       $out"
[ -n "$log" ] && echo "  saver log (UTF-16):     $log   (read it with: iconv -f UTF-16LE -t UTF-8 '$log')"
echo "  feed service requests:  $server_log"
