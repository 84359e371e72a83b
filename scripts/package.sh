#!/bin/bash
# Builds the Debian package dist/veilmark_VERSION-REVISION_amd64.deb (VERSION
# from project() in CMakeLists.txt, REVISION the package's own, from
# packaging/CMakeLists.txt and packaging/changelog): a Release tree
# without tests in build-package/, hardened with Debian's build flags, packed
# by CPack with the dependencies dpkg-shlibdeps finds, then checked with
# lintian. The desktop entry, the software centres' description and the
# manual pages are validated on the way.
#   ./scripts/package.sh
#   sudo apt-get install ./dist/veilmark_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh package

say() { echo "== $*"; }

say "validate the desktop entry and the manual pages"
desktop-file-validate ui/org.example.veilmark.desktop
for page in man/*.1; do
  warnings=$(groff -man -ww -z "$page" 2>&1)
  if [ -n "$warnings" ]; then
    echo "$warnings" >&2
    exit 1
  fi
done

say "build (Release, no tests) in build-package/"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build build-package -j "$(nproc)"

say "validate the software centres' description (version filled in by CMake)"
appstreamcli validate --no-net build-package/ui/org.example.veilmark.metainfo.xml

say "pack"
rm -rf build-package/cpack
(cd build-package && cpack -G DEB -B "$PWD/cpack")
built=(build-package/cpack/*.deb)
version=$(dpkg-deb -f "${built[0]}" Version)
if [ "$(dpkg-parsechangelog -l packaging/changelog -S Version)" != "$version" ]; then
  echo "package.sh: packaging/changelog has no entry on top for $version" >&2
  exit 1
fi
mkdir -p dist
mv "${built[0]}" dist/
deb=dist/${built[0]##*/}

say "lintian"
# lintian needs no privileges, and says so when it has them.
as_user=()
if [ "$(id -u)" -eq 0 ] && runuser -u nobody -- test -r "$deb"; then
  as_user=(runuser -u nobody --)
fi
"${as_user[@]}" lintian -I --fail-on error "$deb"
dpkg-deb -f "$deb" Package Version Depends
echo "package.sh: wrote $deb; install it with: sudo apt-get install ./$deb"
