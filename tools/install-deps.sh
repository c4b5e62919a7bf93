#!/usr/bin/env bash
# Installs the Debian packages WireLab builds and runs with; skips what is already there.
# "tools/install-deps.sh --tests" adds what the tests need: GoogleTest, Qt Test, clang with its
# fuzzing runtime, clang-format, and what the Windows build and its tests under Wine need.
# "--windows" installs only what building for Windows needs; "--package" what
# tools/package-deb.sh needs to build the .deb and check it.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins libudev-dev
          fonts-dejavu-core fonts-liberation2)
# Building for Windows: MinGW-w64 with POSIX threads, Qt's host tools (moc and the others run
# here), the source package tools, the icon drawn from its SVG into an .ico (librsvg2-bin,
# icoutils), NSIS for the installer, and Wine with its fonts to run and test the programs.
windows=(mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix qt6-base-dev-tools
         dpkg-dev librsvg2-bin icoutils nsis wine64 wine fonts-wine googletest socat zip xvfb
         xdotool)
# Building the .deb and checking it: build-essential (dpkg-buildpackage asks for it), debhelper,
# the icon's PNGs drawn from its SVG, lintian and the desktop entry's and AppStream file's
# validators.
package=(build-essential debhelper dpkg-dev librsvg2-bin lintian desktop-file-utils appstream)
case "${1:-}" in
  --tests)
    packages+=(libqt6test6 googletest libgtest-dev libgmock-dev clang clang-format libclang-rt-14-dev ser2net
               "${windows[@]}")
    ;;
  --windows) packages+=("${windows[@]}") ;;
  --package) packages+=("${package[@]}") ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
