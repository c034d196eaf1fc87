#!/usr/bin/env bash
# Builds the Windows installer from a built Tavelin.scr with Debian's makensis.
#   installer/build.sh <path to Tavelin.scr> <output folder>
# Writes <output folder>/Tavelin-Setup.exe and prints its path.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ $# -ne 2 ]; then
  echo "usage: installer/build.sh <path to Tavelin.scr> <output folder>" >&2
  exit 2
fi
scr=$1 out=$2
[ -f "$scr" ] || { echo "installer/build.sh: no such file: $scr" >&2; exit 2; }
# The setup program is 64-bit and puts the file into the 64-bit system folder.
python3 "$here/scr_file.py" is-x64 "$scr" ||
  { echo "installer/build.sh: $scr is not a 64-bit Windows program" >&2; exit 2; }
command -v makensis >/dev/null || { echo "installer/build.sh: makensis is missing (apt-get install nsis)" >&2; exit 2; }
mkdir -p "$out"
scr=$(cd "$(dirname "$scr")" && pwd)/$(basename "$scr")
out=$(cd "$out" && pwd)
makensis -V2 -INPUTCHARSET UTF8 -DSCR_FILE="$scr" -DOUT_FILE="$out/Tavelin-Setup.exe" "$here/tavelin.nsi" >&2
echo "$out/Tavelin-Setup.exe"
