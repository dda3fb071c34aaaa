#!/usr/bin/env bash
# Builds the packages into build/packages: the Debian package of the native
# build (datemill_<version>_<arch>.deb), the zip of the Windows build
# (Datemill-<version>-win64.zip) and its installer (Datemill-<version>-win64.msi,
# from packaging/Datemill.wxs). Reuses the builds' folders.
# Usage: package.sh [deb]
#   deb: only the Debian package, checked (tests/packages.sh) once made;
#        no cross tools are installed and nothing is built for Windows.
# Each step is told on a line of its own as it starts.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
cd "$root"

only=${1:-}
case $only in
  '' | deb) ;;
  *) echo "usage: $0 [deb]" >&2; exit 2 ;;
esac
step() { echo "package.sh: $*"; }

presets=(native windows)
needed=("${BUILD_PACKAGES[@]}" "${DEB_PACKAGES[@]}")
if [ "$only" = deb ]; then
  presets=(native)
  needed+=(mandoc)  # the check lints the installed man page
else
  needed+=("${MSI_PACKAGES[@]}" g++-mingw-w64-x86-64-posix)
fi
step "checking the build tools: ${needed[*]}"
ensure_packages "${needed[@]}"

for preset in "${presets[@]}"; do
  step "configuring the $preset build (build/$preset)"
  cmake --preset "$preset" >/dev/null
  # Only what gets installed: the program (and on POSIX its man page).
  targets=(datemill)
  [ "$preset" = native ] && targets+=(manpage completions)
  step "building ${targets[*]}"
  cmake --build --preset "$preset" --target "${targets[@]}" >/dev/null
  step "packing the $preset build (cpack)"
  cpack --preset "$preset" >/dev/null
done
version=$(sed -n 's/^project(Datemill VERSION \([^ ]*\) .*/\1/p' CMakeLists.txt)
if [ "$only" = deb ]; then
  step "checking the Debian package"
  sh tests/packages.sh build/packages "$version" deb
  ls -1 "$root"/build/packages/datemill_"$version"_*.deb
  exit 0
fi
step "making the Windows installer (msi)"
bash scripts/msi.sh build/windows build/packages
ls -1 "$root"/build/packages/*.deb "$root"/build/packages/*.zip "$root"/build/packages/*.msi
