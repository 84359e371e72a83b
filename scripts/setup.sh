#!/bin/bash
# Installs the Debian packages that building, testing and running Veilmark need.
# "scripts/setup.sh package" adds the tools that scripts/package.sh builds,
# checks and lints the Debian package with; "scripts/setup.sh bench" those
# the benchmarks in bench/ compare with and drive the dialog with.
# Quick when everything is there already: it only asks dpkg.
set -euo pipefail

packages=(
  g++ make cmake pkg-config
  libdcmtk-dev libgtest-dev zlib1g-dev unicode-data
  strace parallel
  # What a test of the profile over real files runs: pydicom's test files,
  # DCMTK's dcmdump, and dicom3tools' validator.
  dcmtk dicom3tools python3-pydicom
  clang libclang-rt-14-dev
  libwxgtk3.2-dev xvfb xauth
)
case "${1:-}" in
  "") ;;
  package)
    # dpkg-shlibdeps (dpkg-dev) works out the package's dependencies, from
    # what file says of each installed file; lintian, desktop-file-validate,
    # appstreamcli, groff and man check what goes into it.
    packages+=(dpkg-dev file lintian desktop-file-utils appstream groff-base man-db)
    ;;
  bench)
    # GNU time for peak memory, a C compiler for the slow-storage shim,
    # xdotool and inotifywait for the dialog.
    packages+=(time gcc xdotool inotify-tools)
    ;;
  *)
    echo "usage: scripts/setup.sh [package|bench]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  apt=(apt-get)
elif command -v sudo >/dev/null; then
  apt=(sudo apt-get)
else
  echo "setup: missing packages (${missing[*]}) and neither root nor sudo to install them" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${apt[@]}" update -q
"${apt[@]}" install -y -q --no-install-recommends "${missing[@]}"
