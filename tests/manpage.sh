#!/bin/sh
# The man page passes mandoc's lint with no message at all (style included),
# and documents every switch the program's --help lists.
# Usage: manpage.sh <datemill.1> <datemill>
set -u
page=$1 program=$2
command -v mandoc >/dev/null || { echo "mandoc is not installed (scripts/deps.sh)" >&2; exit 1; }
status=0
messages=$(mandoc -T lint -W style "$page" 2>&1)
[ -z "$messages" ] || { echo "$messages" >&2; status=1; }
switches=$("$program" --help | grep -o -- '--[a-z]*' | sort -u)
[ -n "$switches" ] || { echo "--help lists no switches" >&2; status=1; }
for switch in $switches; do
  [ "$switch" = "--" ] && continue  # the end of the switches, told in the text
  # roff writes each hyphen as \-
  grep -q "^\.[BI]*R* *\\\\-\\\\-${switch#--}\\b" "$page" || { echo "$page lacks $switch" >&2; status=1; }
done
exit $status
