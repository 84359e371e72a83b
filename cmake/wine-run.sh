#!/bin/sh
# Runs a Windows program of the build under wine: the toolchain's
# CMAKE_CROSSCOMPILING_EMULATOR, for ctest, gtest_discover_tests and try_run.
#
# Programs of one wine prefix share a session. Its first program starts
# wine's own services, and these keep that program's standard output and
# error, and every descriptor it has, open until the session ends: ctest
# would wait for the session's end after each test. wineboot starts them
# here, away from the program's output, and the program joins the session;
# when one is running already, that takes a few hundredths of a second.
#
# The session started here stays (a persistent wineserver) until
# "wineserver -k" ends it, as ./test.sh does after the tests: one that ended
# with each test would make the next start it again and wait for it, seconds
# a test, and a program started while one is ending may fail.
#
# A session opens its windows on the X display it started with, and one that
# started with none opens none: so a session started for another display
# (or another Xvfb, whose xvfb-run gives another XAUTHORITY) is ended first.
#
# Tests start side by side: one at a time looks at the session and joins or
# starts it (flock). Wine's processes get no copy of the lock's descriptor,
# which would hold the lock as long as the session lives.
display="${DISPLAY:-} ${XAUTHORITY:-}"
state=${WINEPREFIX:?}/veilmark-display
(
  flock 9
  if [ "$(cat "$state" 2>/dev/null)" != "$display" ]; then
    wineserver -k </dev/null >/dev/null 2>&1 9>&-
    wineserver -w </dev/null >/dev/null 2>&1 9>&-
    printf '%s\n' "$display" >"$state"
  fi
  # Starts the session's server, or fails at once where one is running.
  wineserver -p </dev/null >/dev/null 2>&1 9>&- || true
  wine wineboot </dev/null >/dev/null 2>&1 9>&-
) 9>"$state.lock"
exec wine "$@"
