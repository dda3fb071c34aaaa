#!/bin/sh
# Datemill.exe /? shows the usage in a box with the information icon and
# exits with status 0; a faulty command line still gets the stop icon. Wine's
# relay trace shows the type word MessageBoxW is called with (the box itself
# returns at once without a display).
# Usage: usage-box.sh <wine64> <Datemill.exe>   (WINEPREFIX set)
set -u
wine=$1 program=$2
unset DISPLAY
trace=$(mktemp)
trap 'rm -f "$trace"' EXIT
status=0

box_type() {  # the type argument of the first MessageBoxW call
  grep -a 'Call user32.MessageBoxW(' "$trace" | head -n 1 | sed -n 's/.*,\([0-9a-f]\{8\}\)) ret=.*/\1/p'
}

WINEDEBUG=+relay "$wine" "$program" '/?' 2>"$trace" >/dev/null
rc=$?
[ "$rc" -eq 0 ] || { echo "/? exited with $rc" >&2; status=1; }
type=$(box_type)
# MB_OK | MB_ICONINFORMATION
[ "$type" = 00000040 ] || { echo "/? box type is '$type', not 00000040" >&2; status=1; }
grep -aq 'Call user32.MessageBoxW(.*L"Usage: Datemill.exe \[SWITCH\]... FOLDER...\\n' "$trace" ||
  { echo "/? box does not show the usage" >&2; status=1; }

WINEDEBUG=+relay "$wine" "$program" 2>"$trace" >/dev/null
type=$(box_type)
# MB_OK | MB_ICONSTOP
[ "$type" = 00000010 ] || { echo "no-argument box type is '$type', not 00000010" >&2; status=1; }
exit $status
