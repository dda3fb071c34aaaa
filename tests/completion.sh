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
# Each value of --date has a short description of its own, and --date
# keeps its own.
fish_file=$1/datemill.fish
for value in "c	created" "m	last written" "t	taken (a photo\\'s or video\\'s own date)" "accessed	last accessed"; do
  line="complete -c datemill -l date -x -a '${value%%	*}' -d '${value#*	}'"
  grep -qxF "$line" "$fish_file" || { echo "no line: $line" >&2; exit 1; }
done
if command -v fish >/dev/null; then
  fish -c "source '$fish_file'; complete -C'datemill --da'" | grep -q "^--date	the date that counts" ||
    { echo "fish does not complete --da with its help" >&2; exit 1; }
  fish -c "source '$fish_file'; complete -C'datemill --date='" | grep -qx -e "--date=m	last written" ||
    { echo "fish does not describe --date=m" >&2; exit 1; }
fi
