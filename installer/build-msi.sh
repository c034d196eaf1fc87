#!/usr/bin/env bash
# Builds the Windows Installer package from a built Tavelin.scr with Debian's wixl.
#   installer/build-msi.sh <path to Tavelin.scr> <output folder> [version]
# Writes <output folder>/Tavelin-<version>.msi and prints its path. The version is the
# one in Tavelin.scr's version record, unless given (tests build a later one to upgrade).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: installer/build-msi.sh <path to Tavelin.scr> <output folder> [version]" >&2
  exit 2
fi
scr=$1 out=$2
[ -f "$scr" ] || { echo "installer/build-msi.sh: no such file: $scr" >&2; exit 2; }
command -v wixl >/dev/null && command -v msibuild >/dev/null ||
  { echo "installer/build-msi.sh: wixl or msibuild is missing (apt-get install wixl msitools)" >&2; exit 2; }
# The product version of a 64-bit program's fixed version record, as a.b.c.d.
version=${3:-$(python3 - "$scr" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0] if data[:2] == b"MZ" and len(data) >= 0x40 else 0
if not (pe and data[pe:pe + 4] == b"PE\0\0" and struct.unpack_from("<H", data, pe + 4)[0] == 0x8664):
    sys.exit("not a 64-bit Windows program")
key = data.find("VS_VERSION_INFO\0".encode("utf-16-le"))
at = data.find(struct.pack("<I", 0xFEEF04BD), key, key + 40) if key >= 0 else -1
if at < 0:
    sys.exit("no version record")
ms, ls = struct.unpack_from("<II", data, at + 16)
print("%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF))
PY
)} || { echo "installer/build-msi.sh: cannot read the version of $scr" >&2; exit 2; }
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "installer/build-msi.sh: bad version '$version'" >&2; exit 2; }

mkdir -p "$out"
out=$(cd "$out" && pwd)
msi="$out/Tavelin-$version.msi"
# wixl takes source files by relative name only: stage them in one folder.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$scr" "$stage/Tavelin.scr"
cp "$here/../resources/tavelin.ico" "$here/checks.js" "$stage/"
(cd "$stage" && wixl -a x64 -D Version="$version" -D Scr=Tavelin.scr -D Icon=tavelin.ico -D Checks=checks.js \
  -o package.msi "$here/tavelin.wxs") >&2
# What wixl cannot say: uninstall takes the whole settings key (the day cache in "Data"
# included), as a "-" row of the Registry table does.
msibuild "$stage/package.msi" -q "INSERT INTO \`Registry\` (\`Registry\`, \`Root\`, \`Key\`, \`Name\`, \`Component_\`)
  VALUES ('RemoveSettingsKey', 2, 'Software\\Ombrelle Corporation Ltd\\Tavelin ScreenSaver', '-', 'Settings')"
# Recall is written only when given or already there: an empty number has no meaning.
msibuild "$stage/package.msi" -q "UPDATE \`Component\` SET \`Condition\` = 'RECALL_VALUE' WHERE \`Component\` = 'RecallSetting'"
# The public properties reach the installing service from a managed or elevated client.
msibuild "$stage/package.msi" -q "UPDATE \`Property\` SET \`Value\` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;KEYCODE;COMPANY;FEEDHOST;RECALL'
  WHERE \`Property\` = 'SecureCustomProperties'"
mv "$stage/package.msi" "$msi"
echo "$msi"
