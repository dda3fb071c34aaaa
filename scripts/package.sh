#!/usr/bin/env bash
# Builds the packages into build/packages: the Debian package of the native
# build (datemill_<version>_<arch>.deb), the zip of the Windows build
# (Datemill-<version>-win64.zip) and its installer (Datemill-<version>-win64.msi,
# from packaging/Datemill.wxs). Reuses the builds' folders.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
ensure_packages "${BUILD_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}" g++-mingw-w64-x86-64-posix
cd "$root"

for preset in native windows; do
  cmake --preset "$preset" >/dev/null
  # Only what gets installed: the program (and on POSIX its man page).
  targets=(datemill)
  [ "$preset" = native ] && targets+=(manpage completions)
  cmake --build --preset "$preset" --target "${targets[@]}" >/dev/null
  cpack --preset "$preset" >/dev/null
done
bash scripts/msi.sh build/windows build/packages
ls -1 "$root"/build/packages/*.deb "$root"/build/packages/*.zip "$root"/build/packages/*.msi
