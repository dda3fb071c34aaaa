#!/usr/bin/env bash
# Builds the Windows installer Datemill-<version>-win64.msi from the program
# of a Windows build folder and packaging/Datemill.wxs.
# Usage: msi.sh <windows build folder> <output folder> [version]
# (the version defaults to the project's; tests make older ones to upgrade)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1 out=$2
version=${3:-$(sed -n 's/^project(Datemill VERSION \([^ ]*\) .*/\1/p' "$root/CMakeLists.txt")}
# The installer's versions have a major and minor part up to 255 and a build
# part up to 65535: 2018.09.26 becomes 18.9.26 (years 2000 to 2255), which
# still orders the versions as the dates do.
IFS=. read -r year month day <<<"$version"
msi_version=$((10#$year - 2000)).$((10#$month)).$((10#$day))
help_link=${DATEMILL_HELP_LINK:-https://c-seed-915f82bf.example/datemill}

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$build/Datemill.exe" "$root/README.md" "$root/LICENSE" "$stage/"
x86_64-w64-mingw32-strip "$stage/Datemill.exe"
mkdir -p "$out"
msi=$(cd "$out" && pwd)/Datemill-$version-win64.msi
# wixl takes the sources relative to the folder it runs in.
(cd "$stage" && wixl -a x64 -D Version="$msi_version" -D Source=. -D HelpLink="$help_link" \
  -o "$msi" "$root/packaging/Datemill.wxs")

# What wixl 0.101 writes wrongly, put right in the Registry table: HKMU
# becomes root 4 instead of -1 (the user, or the machine with ALLUSERS), and
# a value starting with "#%" (REG_EXPAND_SZ) gets a second "#".
(cd "$stage" && msiinfo export "$msi" Registry >Registry.idt)
awk 'BEGIN { FS = OFS = "\t" } NR > 3 && $2 == "4" { $2 = "-1" } NR > 3 { sub(/^##%/, "#%", $5) } 1' \
  "$stage/Registry.idt" >"$stage/Registry.fixed" && mv "$stage/Registry.fixed" "$stage/Registry.idt"
msibuild "$msi" -i "$stage/Registry.idt"
# wixl takes no RemoveFile element: the uninstall also removes the Log.txt a
# run may have left beside the program (2: on uninstall), or the folder stays.
msibuild "$msi" -q "INSERT INTO RemoveFile (FileKey, Component_, FileName, DirProperty, InstallMode) \
VALUES ('RemoveLog', 'Program', 'Log.txt', 'INSTALLDIR', 2)"
