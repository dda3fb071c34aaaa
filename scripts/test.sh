#!/usr/bin/env bash
# Builds and runs every test: the native build, the native build with
# AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows build
# (cross-compiled, tested under Wine).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"
cd "$root"

# The operating system stays in the platform layer and the process entry.
if grep -rlE '_WIN32|<windows\.h>' src | grep -vE '^src/(platform/Win32\.cpp|Datemill\.cpp)$'; then
  echo "platform code outside src/platform/Win32.cpp and src/Datemill.cpp" >&2
  exit 1
fi

# A message box must never wait for a click.
unset DISPLAY
for preset in native sanitize windows; do
  echo "=== $preset ==="
  cmake --workflow --preset "$preset"
done

# The packages, built from the three builds' folders, installed into a
# scratch root and listed.
echo "=== packages ==="
bash scripts/package.sh
version=$(sed -n 's/^project(Datemill VERSION \([^ ]*\) .*/\1/p' CMakeLists.txt)
sh tests/packages.sh build/packages "$version"
