#!/usr/bin/env bash
# Builds a static Qt 6 for 64-bit Windows from Debian's own qt6-base source, once, into a cache
# folder outside the tree; a later run finds it there and returns at once.
#
#   tools/windows-qt.sh            prints the Qt prefix on its last line
#
# WIRELAB_WIN_CACHE names the cache folder (default ~/.cache/wirelab-windows).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cache=${WIRELAB_WIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/wirelab-windows}
prefix=$cache/qt6-static
stamp=$prefix/.built
if [ -f "$stamp" ]; then
  echo "$prefix"
  exit 0
fi
mkdir -p "$cache"

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# Debian's source packages: a deb-src twin of the archive's own deb entry.
if ! apt-cache showsrc qt6-base >/dev/null 2>&1 || [ -z "$(apt-cache showsrc qt6-base 2>/dev/null)" ]; then
  src_list=/etc/apt/sources.list.d/wirelab-deb-src.sources
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -n '/^Types:/,/^$/p' /etc/apt/sources.list.d/debian.sources |
      sed 's/^Types: deb$/Types: deb-src/' | as_root tee "$src_list" >/dev/null
  else
    grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | as_root tee /etc/apt/sources.list.d/wirelab-deb-src.list >/dev/null
  fi
  as_root apt-get update -qq
fi

started=$(date +%s)
work=$cache/src
rm -rf "$work"
mkdir -p "$work"
(cd "$work" && apt-get source -qq qt6-base >/dev/null)
source_dir=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)
[ -n "$source_dir" ] || { echo "apt-get source qt6-base gave no source tree" >&2; exit 1; }
echo "Qt source: $(basename "$source_dir") ($(( $(date +%s) - started )) s)" >&2

build=$cache/build
rm -rf "$build" "$prefix"
mkdir -p "$build"
t=$(date +%s)
(cd "$build" && "$source_dir/configure" -xplatform win32-g++ -static -static-runtime -release \
  -prefix "$prefix" -qt-host-path /usr -nomake examples -nomake tests \
  -no-opengl -no-dbus -no-icu -no-fontconfig -no-vulkan \
  -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-pcre \
  -no-feature-sql -no-feature-network -no-feature-printsupport -no-feature-concurrent \
  -no-feature-xml -no-feature-tabletevent -no-feature-direct2d -no-feature-directwrite3 \
  -- -G Ninja -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake") >"$cache/configure.log" 2>&1 ||
  { tail -n 40 "$cache/configure.log" >&2; exit 1; }
echo "Qt configure: $(( $(date +%s) - t )) s" >&2
t=$(date +%s)
cmake --build "$build" --parallel "$(nproc)" >"$cache/build.log" 2>&1 ||
  { tail -n 40 "$cache/build.log" >&2; exit 1; }
echo "Qt build: $(( $(date +%s) - t )) s" >&2
t=$(date +%s)
cmake --install "$build" >"$cache/install.log" 2>&1 || { tail -n 20 "$cache/install.log" >&2; exit 1; }
# The licence texts go into the zip beside the programs.
mkdir -p "$prefix/licenses"
cp -r "$source_dir/LICENSES/." "$prefix/licenses/" 2>/dev/null || true
cp "$source_dir/debian/copyright" "$prefix/licenses/debian-copyright" 2>/dev/null || true
basename "$source_dir" >"$prefix/licenses/SOURCE"
rm -rf "$build" "$work"
touch "$stamp"
echo "Qt install: $(( $(date +%s) - t )) s; static Qt for Windows in $(( $(date +%s) - started )) s" >&2
echo "$prefix"
