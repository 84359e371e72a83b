#!/bin/sh
# Runs a Windows program of the build under wine: the toolchain's
# CMAKE_CROSSCOMPILING_EMULATOR, for ctest, gtest_discover_tests and try_run.
#
# Programs of one wine prefix share a session, which ends three seconds after
# its last program. Its first program starts wine's own services, and these
# keep that program's standard output and error open until the session ends:
# ctest would wait those three seconds after each test. wineboot starts them
# here, away from the program's output, and the program joins the session;
# when one is running already, that takes a few hundredths of a second.
#
# A session opens its windows on the X display it started with, and one that
# started with none opens none: a test of the dialog that came within three
# seconds of a build's test listing would fail. So a session is let end
# first when it was started for another display (or another Xvfb, whose
# xvfb-run gives another XAUTHORITY).
#
# Tests start side by side: one at a time looks at the session and joins or
# starts it (flock), so that none starts its program in a session another
# is ending.
display="${DISPLAY:-} ${XAUTHORITY:-}"
state=${WINEPREFIX:?}/veilmark-display
(
  flock 9
  if [ "$(cat "$state" 2>/dev/null)" != "$display" ]; then
    wineserver -w </dev/null >/dev/null 2>&1
    printf '%s\n' "$display" >"$state"
  fi
  wine wineboot </dev/null >/dev/null 2>&1
) 9>"$state.lock"
exec wine "$@"
