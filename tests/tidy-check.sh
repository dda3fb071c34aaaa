#!/usr/bin/env bash
# scripts/tidy.sh fails on a finding and when clang-tidy cannot check (a
# broken or missing compile database), and of a clean run prints only its
# summary. It runs on a one-file copy of the project whose cmake does
# nothing, so the compile database is the one written here.
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

# check <name> <0 or fail> [the whole output expected]
check() {
  local status=0 output
  output=$(PATH="$work/bin:$PATH" bash "$work/scripts/tidy.sh" src/x.cpp 2>&1) || status=$?
  local failed=$((status != 0))
  if [ "$2" != "$([ "$failed" = 1 ] && echo fail || echo 0)" ] || { [ $# -gt 2 ] && [ "$output" != "$3" ]; }; then
    printf '%s: status %s, expected %s; output:\n%s\n' "$1" "$status" "$2" "$output" >&2
    failures=$((failures + 1))
  fi
}

# Clean, but for the type clang invents for a concept's requirement.
cat >"$work/src/x.cpp" <<'EOF'
#include <concepts>
template <class T>
concept Sized = requires(T t) {
  { t.size() } -> std::convertible_to<int>;
};
EOF
printf '[{"directory": "%s", "command": "g++ -std=c++20 -c src/x.cpp", "file": "src/x.cpp"}]\n' \
  "$work" >"$database"
check clean 0 "clang-tidy: no findings"
echo 'int bad_name() { return 1; }' >>"$work/src/x.cpp"
check finding fail

# Clean even to clang-tidy's guess without a database: only the database
# can fail these.
echo 'int Twice(int value) { return value * 2; }' >"$work/src/x.cpp"
printf 'not a compile database\n' >"$database"
check broken-database fail
rm -f "$database"
check no-database fail
exit $((failures > 0))
