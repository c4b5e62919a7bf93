#!/usr/bin/env bash
# Builds dist/wirelab_<version>_amd64.deb the Debian way (debian/, debhelper, dpkg-buildpackage)
# on Debian 12, after installing what that needs, and checks what it made: lintian, the
# desktop entry and the AppStream file. The version is the one CMake's project() sets.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh --package

version=$(sed -n 's/^project(WireLab VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package-deb: no version in CMakeLists.txt's project()" >&2; exit 1; }
arch=$(dpkg --print-architecture)
deb=wirelab_${version}_${arch}.deb

# dpkg-buildpackage builds inside the source tree and writes its results beside it: a copy of
# the tree in build-deb/ keeps both out of the checkout. The changelog, which gives the package
# its version, is written there from CMake's.
work=$PWD/build-deb
source=$work/wirelab-$version
rm -rf "$work"
mkdir -p "$source"
tar -c --exclude='./build*' --exclude=./dist --exclude=./.git --exclude=./.cache \
  --exclude=./Testing . | tar -x -C "$source"
when=$(git log -1 --format=%aD 2>/dev/null || date -R)
maintainer=$(sed -n 's/^Maintainer: //p' debian/control)
cat >"$source/debian/changelog" <<CHANGELOG
wirelab ($version) unstable; urgency=medium

  * WireLab $version.

 -- $maintainer  $when
CHANGELOG

export DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:-parallel=$(nproc)}"
(cd "$source" && dpkg-buildpackage -b -us -uc)
mkdir -p dist
cp "$work/$deb" dist/

echo "== lintian"
lintian --info --display-info "dist/$deb"
echo "== desktop entry and AppStream file"
contents=$work/contents
dpkg-deb -x "dist/$deb" "$contents"
desktop-file-validate "$contents/usr/share/applications/wirelab.desktop"
appstreamcli validate --no-net "$contents"/usr/share/metainfo/*.metainfo.xml
echo "== dist/$deb"
dpkg-deb --info "dist/$deb" | sed -n 's/^ \(Version\|Depends\|Recommends\|Installed-Size\):/  \1:/p'
