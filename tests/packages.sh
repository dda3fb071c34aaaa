#!/bin/sh
# Checks the packages scripts/package.sh made: the Debian package's fields
# and files, the program installed from it into a scratch root, and the
# files of the Windows zip and installer (with "deb", the Debian package
# only).
# Usage: packages.sh <packages folder> <version> [deb]
set -u
dir=$1 version=$2 only=${3:-}
status=0
fail() { echo "packages: $*" >&2; status=1; }
has_line() {  # <text> <extended regex>: some line of the text matches
  printf '%s\n' "$1" | grep -Eq "$2" || fail "no line matches '$2'"
}

deb=$dir/datemill_${version}_$(dpkg --print-architecture).deb
zip=$dir/Datemill-$version-win64.zip
[ -f "$deb" ] || fail "missing $deb"
[ "$only" = deb ] || [ -f "$zip" ] || fail "missing $zip"
[ $status -eq 0 ] || exit 1

info=$(dpkg-deb --info "$deb")
has_line "$info" "^ Package: datemill$"
has_line "$info" "^ Version: $version$"
has_line "$info" "^ Section: utils$"
has_line "$info" "^ Depends: .*libc6 \(>= [0-9.]+\)"
has_line "$info" "^ Depends: .*libstdc\+\+6 \(>= [0-9.]+\)"
has_line "$info" "^ Recommends: bash-completion$"
has_line "$info" "^ Description: count the files of folders by date$"
has_line "$info" "^  Datemill counts the files"

contents=$(dpkg-deb --contents "$deb")
for file in usr/bin/datemill usr/share/man/man1/datemill.1.gz usr/share/doc/datemill/README.md \
  usr/share/doc/datemill/LICENSE usr/share/bash-completion/completions/datemill \
  usr/share/zsh/vendor-completions/_datemill usr/share/fish/vendor_completions.d/datemill.fish; do
  has_line "$contents" " \./$file$"
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg -x "$deb" "$scratch"
first=$("$scratch/usr/bin/datemill" --version | head -n 1)
[ "$first" = "datemill $version" ] || fail "installed datemill --version says '$first'"
"$scratch/usr/bin/datemill" --help | grep -q "^Usage: datemill " || fail "installed datemill --help"
[ -z "$(mandoc -T lint -W warning "$scratch/usr/share/man/man1/datemill.1.gz" 2>&1)" ] ||
  fail "installed man page does not pass mandoc's lint"
[ "$only" = deb ] && exit $status

listing=$(unzip -l "$zip")
for file in Datemill.exe README.md LICENSE; do
  has_line "$listing" " Datemill-$version-win64/$file$"
done
[ "$(unzip -p "$zip" "Datemill-$version-win64/Datemill.exe" | head -c 2)" = MZ ] || fail "Datemill.exe is no program"

# The installer (installed, upgraded and removed under Wine by tests/msi.sh).
msi=$dir/Datemill-$version-win64.msi
files=$(msiinfo export "$msi" File 2>/dev/null | tr -d '\r')
for file in Datemill.exe README.md LICENSE; do
  has_line "$files" "	$file	"
done
has_line "$(msiinfo export "$msi" Property 2>/dev/null | tr -d '\r')" "^ProductName	Datemill$"
exit $status
