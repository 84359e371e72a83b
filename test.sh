#!/bin/bash
# Builds Veilmark and runs every test: once as a plain build with warnings as
# errors; once built for Windows (mingw-w64, with the libraries
# scripts/windows-deps.sh builds and caches) and run under wine; once under
# AddressSanitizer and UndefinedBehaviorSanitizer, and all but the window's
# and the kill tests once more under ThreadSanitizer; the tests of the
# dialog run on a virtual display (xvfb-run). Then fuzzes a run over one
# file for a minute. "./test.sh fuzz" only fuzzes, for ten minutes;
# "./test.sh windows" only builds for Windows and tests under wine.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
if [ "${1:-}" = fuzz ]; then exec fuzz/run.sh 600; fi

jobs=$(nproc)
say() { echo "== [$((SECONDS / 60)) min $((SECONDS % 60)) s] $*"; }

build() {  # build DIR [cmake options...]
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEILMARK_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

windows() {
  say "build for Windows and test under wine"
  local prefix
  prefix=$(./scripts/windows-deps.sh | tail -1)
  # The Linux build's programs, where there is one, for the test that
  # compares their output with the Windows build's.
  local linux=
  [ -x build/bin/veilmark-cli ] && linux=$PWD/build/bin
  build build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DVEILMARK_MINGW_PREFIX="$prefix" -DVEILMARK_LINUX_BIN="$linux"
  xvfb-run -a ctest --test-dir build-windows --output-on-failure -j "$jobs"
}
if [ "${1:-}" = windows ]; then
  windows
  exit
fi

say "build and test"
build build
xvfb-run -a ctest --test-dir build --output-on-failure -j "$jobs"

windows

say "build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
build build-asan -DVEILMARK_SANITIZE=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  xvfb-run -a ctest --test-dir build-asan --output-on-failure -j "$jobs"

# The kill test is left out here: what it checks is the order of the steps on
# disk, which the two builds above cover, and its eighty runs take minutes
# under ThreadSanitizer.
say "build (without the dialog) and test again under ThreadSanitizer (all but the kill tests)"
build build-tsan -DVEILMARK_TSAN=ON -DVEILMARK_GUI=OFF
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build-tsan -LE '^(gui|kill_test)$' --output-on-failure -j "$jobs"

say "fuzz a run over one file for 60 s"
fuzz/run.sh 60
say "every test passed"
