#!/usr/bin/env bash
# Builds and runs every test: the format check, the native build, the native
# build with AddressSanitizer and UndefinedBehaviorSanitizer, the Windows
# build (cross-compiled, tested under Wine), and every fuzz target on its
# corpus plus DATEMILL_FUZZ_SECONDS (20) of fresh inputs, and clang-tidy, which
# must find nothing (DATEMILL_TIDY=0 leaves it out).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}" "${LINT_PACKAGES[@]}"
cd "$root"

# The C++ sources are formatted with .clang-format (bench/ holds C programs
# of their own style).
echo "=== format ==="
git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'fuzz/*.cpp' 'fuzz/*.h' |
  xargs clang-format-14 --dry-run -Werror

# The operating system stays in the platform layer and the process entry.
if grep -rlE '_WIN32|<windows\.h>' src | grep -vE '^src/(platform/win32/[A-Za-z]*\.(cpp|h)|Datemill\.cpp)$'; then
  echo "platform code outside src/platform/win32/ and src/Datemill.cpp" >&2
  exit 1
fi

# A message box must never wait for a click.
unset DISPLAY
# tsan: the scanner tests under ThreadSanitizer (the stat threads).
for preset in native sanitize tsan windows; do
  echo "=== $preset ==="
  cmake --workflow --preset "$preset"
done

# The packages, built from the three builds' folders, installed into a
# scratch root and listed.
echo "=== packages ==="
bash scripts/package.sh
version=$(sed -n 's/^project(Datemill VERSION \([^ ]*\) .*/\1/p' CMakeLists.txt)
sh tests/packages.sh build/packages "$version"

echo "=== fuzz ==="
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
for target in $(ls fuzz/corpus); do
  echo "$target: $(bash scripts/fuzz.sh "$target" "${DATEMILL_FUZZ_SECONDS:-20}")"
done

# clang-tidy over both builds' sources; DATEMILL_TIDY=0 leaves it out.
if [ "${DATEMILL_TIDY:-1}" = 1 ]; then
  echo "=== clang-tidy ==="
  bash scripts/tidy.sh
fi
