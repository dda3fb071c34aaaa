#!/bin/sh
# Datemill.exe /? shows the usage in a box with the information icon and
# exits with status 0; a faulty command line still gets the stop icon. Wine's
# relay trace shows the type word and the start of the text MessageBoxW is
# called with (the box itself returns at once without a display): the /? box
# lists the switches one a line, the box of an unknown switch lists them the
# same way (a hint for a name close to one on a line of its own), and the
# box of no arguments names the program to call.
# Usage: usage-box.sh <wine64> <Datemill.exe>   (WINEPREFIX set)
set -u
wine=$1 program=$2
name=$(basename "$program")
unset DISPLAY
trace=$(mktemp)
trap 'rm -f "$trace"' EXIT
status=0

box_call() {  # the first MessageBoxW call, its text as the trace writes it
  grep -a 'Call user32.MessageBoxW(' "$trace" | head -n 1
}
box_type() {  # the type argument of that call
  box_call | sed -n 's/.*,\([0-9a-f]\{8\}\)) ret=.*/\1/p'
}
# shows <what> <text>: the box's text holds <text> (\n, \r and \" as the
# trace writes them, an en dash as \2013).
shows() {
  box_call | grep -aqF "$2" || { printf '%s box does not show: %s\n' "$1" "$2" >&2; status=1; }
}

WINEDEBUG=+relay "$wine" "$program" '/?' 2>"$trace" >/dev/null
rc=$?
[ "$rc" -eq 0 ] || { echo "/? exited with $rc" >&2; status=1; }
type=$(box_type)
# MB_OK | MB_ICONINFORMATION
[ "$type" = 00000040 ] || { echo "/? box type is '$type', not 00000040" >&2; status=1; }
shows /? "L\"Usage: $name [SWITCH]... FOLDER...\n"
shows /? '\n\n/fmt=MASK \2013 date mask (default yyyy-mm-dd)\n/date=c|m|a|t \2013 '

WINEDEBUG=+relay "$wine" "$program" 2>"$trace" >/dev/null
type=$(box_type)
# MB_OK | MB_ICONSTOP
[ "$type" = 00000010 ] || { echo "no-argument box type is '$type', not 00000010" >&2; status=1; }
shows no-argument "given...\r\n\r\nGive the folders to count:\r\n$name FOLDER...\r\n"
shows no-argument "\r\n$name /? lists the switches"

WINEDEBUG=+relay "$wine" "$program" /dtae 2>"$trace" >/dev/null
type=$(box_type)
[ "$type" = 00000010 ] || { echo "unknown-switch box type is '$type', not 00000010" >&2; status=1; }
shows unknown-switch "L\"[Args::] Unknown switch '/dtae'\n(did you mean /date?); the switches are:\n/fmt=MASK \2013 "
exit $status
