#!/usr/bin/env bash
# Installs, on Debian 12, the packages that building and testing Tavelin need,
# when any is missing. Sourced or run by tools/test.sh and tools/demo.sh.
#   tools/deps.sh [test|demo|bench]
set -euo pipefail
what=${1:-test}

packages=(
  cmake make g++ python3 python3-waitress procps tzdata
  googletest libgtest-dev libgmock-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine64 libwine
  xvfb xauth x11-apps xdotool imagemagick fonts-liberation fonts-wine
  nsis wixl msitools
  python3-flask python3-flaskext.wtf
)
case $what in
  # The web console's browser test drives headless chromium.
  test) packages+=(clang libclang-rt-14-dev sgml-data nginx python3-olefile chromium chromium-driver python3-selenium) ;;
  demo) ;;
  bench) packages+=(clang libbenchmark-dev libpugixml-dev libexpat1-dev xscreensaver-data-extra hyperfine nginx-light) ;;
  *) echo "deps.sh: unknown set '$what' (test, demo or bench)" >&2; exit 2 ;;
esac
# The HTTPS tests make their own CA and server certificates; the two-monitor
# test runs its own Xorg with the dummy driver, arranged with xrandr.
if [ "$what" = test ]; then
  packages+=(openssl xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "deps.sh: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
