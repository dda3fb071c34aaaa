#!/usr/bin/env bash
# scripts/tidy.sh fails when clang-tidy cannot check (no compile database, a
# broken one), fails on a finding, and of a clean run prints only its
# summary. Runs the script on a one-file copy of the project, with a cmake
# that configures nothing, so the compile database is the one made here.
# Usage: tidy-check.sh <source folder>
set -u
source_dir=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/scripts" "$work/src" "$work/build/native" "$work/bin"
cp "$source_dir/scripts/tidy.sh" "$source_dir/scripts/deps.sh" "$work/scripts/"
cp "$source_dir/.clang-tidy" "$work/"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/cmake"
chmod +x "$work/bin/cmake"
database="$work/build/native/compile_commands.json"
failures=0

# check <name> <expected status: 0 or "fail"> [text the output must be]
check() {
  local name=$1 expected=$2 status=0 output
  output=$(PATH="$work/bin:$PATH" bash "$work/scripts/tidy.sh" src/x.cpp 2>&1) || status=$?
  if { [ "$expected" = 0 ] && [ "$status" -ne 0 ]; } || { [ "$expected" = fail ] && [ "$status" -eq 0 ]; }; then
    echo "$name: status $status, expected $expected; output:" >&2
    echo "$output" >&2
    failures=$((failures + 1))
  elif [ $# -gt 2 ] && [ "$output" != "$3" ]; then
    echo "$name: output is not '$3' but:" >&2
    echo "$output" >&2
    failures=$((failures + 1))
  fi
}

# Clean, but for a requirement that clang gives a type parameter of its own.
cat >"$work/src/clean.cpp" <<'EOF'
#include <concepts>
template <class T>
concept Sized = requires(T t) {
  { t.size() } -> std::convertible_to<int>;
};
int Twice(int value) { return value * 2; }
EOF
cp "$work/src/clean.cpp" "$work/src/x.cpp"
printf '[{"directory": "%s", "command": "g++ -std=c++20 -c src/x.cpp", "file": "src/x.cpp"}]\n' \
  "$work" >"$database"
check clean 0 "clang-tidy: no findings"

echo 'int bad_name() { return 1; }' >>"$work/src/x.cpp"
check finding fail

# A file clean even to a guess without the database's flags: only the
# database can fail the rest.
echo 'int Twice(int value) { return value * 2; }' >"$work/src/x.cpp"
printf 'not a compile database\n' >"$database"
check broken-database fail

rm -f "$database"
check no-database fail

exit $((failures > 0))
