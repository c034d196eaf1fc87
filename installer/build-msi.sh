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
version=${3:-$(python3 "$here/scr_file.py" version "$scr")} ||
  { echo "installer/build-msi.sh: cannot read the version of $scr" >&2; exit 2; }
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
settings_key=$(sed -n 's/^<?define SettingsKey = "\(.*\)" ?>$/\1/p' "$here/tavelin.wxs")
[ -n "$settings_key" ] || { echo "installer/build-msi.sh: no SettingsKey in tavelin.wxs" >&2; exit 2; }
msibuild "$stage/package.msi" -q "INSERT INTO \`Registry\` (\`Registry\`, \`Root\`, \`Key\`, \`Name\`, \`Component_\`)
  VALUES ('RemoveSettingsKey', 2, '$settings_key', '-', 'Settings')"
# Recall is written only when given or already there: an empty number has no meaning.
msibuild "$stage/package.msi" -q "UPDATE \`Component\` SET \`Condition\` = 'RECALL' WHERE \`Component\` = 'RecallSetting'"
# The public properties reach the installing service from a managed or elevated client.
msibuild "$stage/package.msi" -q "UPDATE \`Property\` SET \`Value\` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;KEYCODE;COMPANY;FEEDHOST;RECALL'
  WHERE \`Property\` = 'SecureCustomProperties'"
mv "$stage/package.msi" "$msi"
echo "$msi"
