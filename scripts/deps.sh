# Installs the Debian packages named as arguments when any is missing
# (through sudo unless run as root). Sourced by the other scripts.
ensure_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}" >&2
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

# What building and testing both builds needs.
BUILD_PACKAGES=(cmake make g++ libc6-dev)
TEST_PACKAGES=(libgtest-dev googletest tzdata g++-mingw-w64-x86-64-posix wine64 mandoc unzip)
# The chart test renders SVG with rsvg-convert and reads the PNG in Python.
TEST_PACKAGES+=(librsvg2-bin python3)
# The completion test loads the zsh and fish completions too.
TEST_PACKAGES+=(zsh fish)
# What building the packages needs: dpkg-shlibdeps (and file, which CPack
# uses to find the programs) for the Debian package's dependencies.
DEB_PACKAGES=(dpkg-dev file)
# The Windows installer: wixl builds it, msibuild and msiinfo (msitools)
# patch and read its tables.
MSI_PACKAGES=(wixl msitools)
PACKAGE_PACKAGES=("${DEB_PACKAGES[@]}" "${MSI_PACKAGES[@]}")
# The fuzz targets (clang with libFuzzer), clang-tidy and the format check.
FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)
LINT_PACKAGES=(clang-tidy-14 clang-format-14)
