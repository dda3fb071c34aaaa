#!/bin/sh
# Starts or stops the Wine server of the test prefix (WINEPREFIX).
# Started here with every stream on /dev/null, Wine's helper processes do not
# inherit a test's output pipe, which would keep CTest waiting.
set -eu
wine=${WINE:-/usr/lib/wine/wine64}
server=$(dirname "$wine")/wineserver
unset DISPLAY
export WINEDEBUG=-all
case "$1" in
  start)
    mkdir -p "$WINEPREFIX"
    "$server" -p </dev/null >/dev/null 2>&1
    "$wine" wineboot </dev/null >/dev/null 2>&1
    ;;
  stop)
    "$server" -k </dev/null >/dev/null 2>&1 || true
    ;;
esac
