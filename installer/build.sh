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
python3 - "$scr" <<'PY' || { echo "installer/build.sh: $scr is not a 64-bit Windows program" >&2; exit 2; }
import struct, sys
data = open(sys.argv[1], "rb").read(4096)
pe = struct.unpack_from("<I", data, 0x3C)[0] if data[:2] == b"MZ" and len(data) >= 0x40 else 0
sys.exit(0 if pe and data[pe:pe + 4] == b"PE\0\0" and struct.unpack_from("<H", data, pe + 4)[0] == 0x8664 else 1)
PY
command -v makensis >/dev/null || { echo "installer/build.sh: makensis is missing (apt-get install nsis)" >&2; exit 2; }
mkdir -p "$out"
scr=$(cd "$(dirname "$scr")" && pwd)/$(basename "$scr")
out=$(cd "$out" && pwd)
makensis -V2 -INPUTCHARSET UTF8 -DSCR_FILE="$scr" -DOUT_FILE="$out/Tavelin-Setup.exe" "$here/tavelin.nsi" >&2
echo "$out/Tavelin-Setup.exe"
