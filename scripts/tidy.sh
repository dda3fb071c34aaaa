#!/usr/bin/env bash
# Runs clang-tidy with the repository's .clang-tidy on the sources of both
# builds: the POSIX build's files through build/native's compile database,
# the Windows-only files through build/windows's, read with the mingw-w64
# target. Prints the findings and a count per file; fails when there is any,
# and when clang-tidy cannot run or finds no compile database.
#   bash scripts/tidy.sh [FILE...]     (default: every source file)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${LINT_PACKAGES[@]}"
cd "$root"

# Configuring writes the compile databases; nothing needs building.
cmake --preset native >/dev/null
cmake --preset windows >/dev/null

windows_only='^src/(platform/win32/[A-Za-z]*\.cpp|Datemill\.cpp)$'
if [ $# -gt 0 ]; then files=("$@"); else mapfile -t files < <(git ls-files 'src/*.cpp'); fi
native=() windows=()
for f in "${files[@]}"; do
  [[ $f =~ $windows_only ]] && windows+=("$f")
  [[ $f == src/platform/win32/* ]] || native+=("$f")  # Datemill.cpp is in both builds
done

out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
# The compile commands are GCC's: clang does not know all its warning options.
common=(--quiet --extra-arg=-Wno-unknown-warning-option)
# Runs clang-tidy with the given arguments, its findings into $out. A run
# that fails (no usable compile database, a file that does not compile, a
# crash) ends the check with what clang-tidy said; of a run that succeeds,
# only its count of the warnings in headers outside src/ is left unsaid.
tidy() {
  local status=0
  clang-tidy-14 "$@" >>"$out" 2>"$err" || status=$?
  # Without a usable compile database clang-tidy guesses ("Running without
  # flags") and may still succeed.
  if [ "$status" -eq 0 ] && grep -qE 'compilation database|Running without flags' "$err"; then status=database; fi
  if [ "$status" != 0 ]; then
    cat "$out" "$err" >&2
    echo "clang-tidy failed (status $status)" >&2
    exit 1
  fi
  grep -vE '^[0-9]+ warnings? generated\.$' "$err" >&2 || true
}
if [ ${#native[@]} -gt 0 ]; then
  tidy "${common[@]}" -p build/native "${native[@]}"
fi
if [ ${#windows[@]} -gt 0 ]; then
  # clang finds no headers of its own for this target: take the cross
  # compiler's C++ and Windows include folders, but not GCC's intrinsics,
  # which only GCC understands (clang brings its own).
  mingw=(--extra-arg=--target=x86_64-w64-mingw32)
  while read -r dir; do mingw+=("--extra-arg=-isystem$dir"); done < <(
    x86_64-w64-mingw32-g++-posix -E -x c++ -v - </dev/null 2>&1 |
      sed -n '/#include <...> search starts here:/,/End of search list/p' | grep '^ ' |
      grep -vE '/gcc/x86_64-w64-mingw32/[^/]+/include(-fixed)?$')
  tidy "${common[@]}" "${mingw[@]}" -p build/windows "${windows[@]}"
fi
cat "$out"
findings=$(grep -E '^([^ ]+:[0-9]+:[0-9]+: )?(warning|error):' "$out" | sort -u || true)
if [ -n "$findings" ]; then
  echo "clang-tidy findings per file:" >&2
  echo "$findings" | cut -d: -f1 | sed "s|^$root/||" | sort | uniq -c >&2
  exit 1
fi
echo "clang-tidy: no findings"
