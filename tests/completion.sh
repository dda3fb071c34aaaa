#!/bin/sh
# The bash completion made from the switch table: it is registered for
# datemill and completes switch names and the values of --date, also in
# the "--date=..." form. Usage: completion.sh <completions folder>
set -u
bash -c '
  source "$1/datemill"
  complete -p datemill | grep -q " -F _datemill datemill$" || { echo "not registered" >&2; exit 1; }
  check() {  # <expected words> <the words of the line, the last one being completed>
    expected=$1; shift
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMPREPLY=()
    _datemill
    [ "${COMPREPLY[*]}" = "$expected" ] || { echo "completing \"$*\": got \"${COMPREPLY[*]}\"" >&2; exit 1; }
  }
  check "--date" datemill --da
  check "--ext --exclude --each" datemill --e
  check "--one-file-system" datemill --on
  check "--skip" datemill --sk
  check "c m a t created modified accessed taken" datemill --date ""
  check "modified" datemill --date = mo
  check "all" datemill --depth=2 --depth a
' completion "$1"
status=$?
[ $status -eq 0 ] || exit $status
# zsh and fish, where they are installed: the files read, and fish completes.
if command -v zsh >/dev/null; then zsh -n "$1/_datemill" || exit 1; fi
if command -v fish >/dev/null; then
  fish -c "source '$1/datemill.fish'; complete -C'datemill --da'" | grep -q "^--date	" || { echo "fish does not complete --da" >&2; exit 1; }
fi
