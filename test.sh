#!/bin/bash
# Builds Veilmark and runs every test: once as a plain build with warnings as
# errors; once under AddressSanitizer and UndefinedBehaviorSanitizer, and all
# but the window's and the kill tests once more under ThreadSanitizer; once
# built for Windows (mingw-w64, with the libraries scripts/windows-deps.sh
# builds and caches) and run under wine; the tests of the dialog run on a
# virtual display (xvfb-run). Then fuzzes a run over one file for a minute.
# "./test.sh fuzz" only fuzzes, for ten minutes; "./test.sh windows" only
# builds for Windows and tests under wine.
#
# The plain build is the one ./run.sh makes (optimized, with debugging
# information); the others are built at -O1, which finds the same faults
# in half the time. Where the Windows libraries are still to be built, that
# goes on beside the Linux builds and their tests, from the start.
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
# The sanitizers' builds keep line numbers for their reports; the Windows
# build's tests need none.
quick=(-DCMAKE_BUILD_TYPE=None "-DCMAKE_C_FLAGS=-O1 -g1" "-DCMAKE_CXX_FLAGS=-O1 -g1")
quick_windows=(-DCMAKE_BUILD_TYPE=None -DCMAKE_C_FLAGS=-O1 -DCMAKE_CXX_FLAGS=-O1)

# The Windows libraries: built (or found built) by windows-deps.sh in the
# background, its messages in a file shown when it ends. Where a test fails
# first, the build stops with test.sh (it starts again next time).
deps_out=$(mktemp)
deps_log=$(mktemp)
deps_pid=
kill_tree() {
  local child
  for child in $(cat /proc/"$1"/task/*/children 2>/dev/null); do kill_tree "$child"; done
  kill "$1" 2>/dev/null || true
}
ending() {
  [ -z "$deps_pid" ] || kill_tree "$deps_pid"
  rm -f "$deps_out" "$deps_log"
}
trap ending EXIT
start_windows_deps() {
  ./scripts/windows-deps.sh </dev/null >"$deps_out" 2>"$deps_log" &
  deps_pid=$!
}
windows() {
  local status=0
  wait "$deps_pid" || status=$?
  deps_pid=
  cat "$deps_log" >&2
  [ "$status" -eq 0 ] || { echo "scripts/windows-deps.sh failed" >&2; exit 1; }
  local prefix
  prefix=$(tail -1 "$deps_out")
  say "build for Windows and test under wine"
  # The Linux build's programs, where there is one, for the test that
  # compares their output with the Windows build's.
  local linux=
  [ -x build/bin/veilmark-cli ] && linux=$PWD/build/bin
  build build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DVEILMARK_MINGW_PREFIX="$prefix" -DVEILMARK_LINUX_BIN="$linux" "${quick_windows[@]}"
  # The tests share one wine session, which stays until it is ended here.
  xvfb-run -a ctest --test-dir build-windows --output-on-failure -j "$jobs" || status=$?
  WINEPREFIX=$(dirname "$prefix")/wineprefix wineserver -k 2>/dev/null || true
  return "$status"
}
start_windows_deps
if [ "${1:-}" = windows ]; then
  windows
  exit
fi

say "build and test"
build build
xvfb-run -a ctest --test-dir build --output-on-failure -j "$jobs"

say "build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
build build-asan -DVEILMARK_SANITIZE=ON "${quick[@]}"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  xvfb-run -a ctest --test-dir build-asan --output-on-failure -j "$jobs"

# The kill test is left out here: what it checks is the order of the steps on
# disk, which the other builds cover, and its eighty runs take minutes
# under ThreadSanitizer.
say "build (without the dialog) and test again under ThreadSanitizer (all but the kill tests)"
build build-tsan -DVEILMARK_TSAN=ON -DVEILMARK_GUI=OFF "${quick[@]}"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build-tsan -LE '^(gui|kill_test)$' --output-on-failure -j "$jobs"

windows

say "fuzz a run over one file for 60 s"
fuzz/run.sh 60
say "every test passed"
