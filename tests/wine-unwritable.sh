#!/bin/sh
# A report the program may not write, though its attributes do not say
# read-only, is not replaced: the run fails with status 1, the report stays
# as it was, and no temporary file is even made for it. Wine enforces no
# access lists; an immutable Linux file is the nearest it comes to one (its
# attributes read as plain, opening it for writing is refused). Wine's relay
# trace shows which files the program asked to create.
# Usage: wine-unwritable.sh <wine64> <Datemill.exe>   (WINEPREFIX set)
# Exits 77 (skipped) where no file can be made immutable (not root, or a
# file system without the flag).
set -u
wine=$1 program=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
unset DISPLAY
work=$(mktemp -d)
trace=$work/trace
cleanup() {
  chattr -i "$work/out/a.txt" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/a" "$work/out"
: >"$work/a/f"
printf 'old\r\n' >"$work/out/a.txt"
if ! chattr +i "$work/out/a.txt" 2>/dev/null; then
  echo "no immutable files here: skipped" >&2
  exit 77
fi
status=0
cd "$work/out" || exit 1
WINEDEBUG=+relay "$wine" "$program" /date=m "Z:$(echo "$work/a" | tr / '\\')" 2>"$trace" >/dev/null
rc=$?
[ "$rc" -eq 1 ] || { echo "exited with $rc, not 1" >&2; status=1; }
[ "$(cat a.txt)" = "$(printf 'old\r')" ] || { echo "the report was changed" >&2; status=1; }
[ "$(ls -A)" = a.txt ] || { echo "left behind: $(ls -A)" >&2; status=1; }
if grep -a 'Call KERNEL32.CreateFileW(' "$trace" | grep -aq '\.tmp"'; then
  echo "a temporary file was made for a report that may not be written" >&2
  status=1
fi
exit $status
