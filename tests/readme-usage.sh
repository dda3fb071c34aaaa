#!/bin/sh
# README.md shows the usage exactly as the program's --help prints it.
# Usage: readme-usage.sh <README.md> <datemill>
set -u
readme=$1 program=$2
shown=$(mktemp)
trap 'rm -f "$shown"' EXIT
sed -n '/^    Usage: datemill /,/^### /p' "$readme" | sed '$d' | sed 's/^    //' | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}' >"$shown"
"$program" --help | diff - "$shown" >&2 && exit 0
echo "README.md's usage differs from 'datemill --help' (above)" >&2
exit 1
