#!/bin/bash
# The dialog against veilmark-cli: FILES (10,000) small files anonymized
# through the Veilmark dialog on a virtual display (Xvfb), and by
# veilmark-cli, each on a fresh copy of the same folder, ROUNDS times in
# turn. Not a test: ./test.sh does not run it.
#
# The dialog is driven as a user drives it (xdotool): the folder is typed
# into the folder box and, once the dialog has taken those keys, a click
# presses "Anonymize". Its time runs from that click to the last line of the
# record file; the log box fills and scrolls
# live meanwhile. Files are written on tmpfs (/dev/shm), where the run costs
# least and the dialog's own share shows most. With PROFILE=1 both run with
# the DICOM Basic Profile: its check box ticked, --profile basic.
#   FILES=2000 ROUNDS=1 bench/dialog_bench.sh
set -euo pipefail
shopt -s inherit_errexit
export LC_ALL=C
cd "$(dirname "$0")/.."

FILES=${FILES:-10000}
ROUNDS=${ROUNDS:-3}
PIXEL_BYTES=${PIXEL_BYTES:-256}
BUILD=${BUILD:-build-dialog-bench}
SCRATCH=${SCRATCH:-/dev/shm}

# Seconds from the click on "Anonymize" to the end of the run, on DISPLAY.
dialog_run() {
  local folder=$1 record=$1/anonymous_record.csv
  "$BUILD/bin/veilmark" &
  local pid=$!
  local window
  window=$(xdotool search --sync --onlyvisible --name '^Veilmark$' | head -1)
  xdotool windowfocus --sync "$window"
  xdotool key --clearmodifiers Tab Tab  # from "Exit" to the folder box
  xdotool type --delay 0 "$folder"
  eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(WIDTH|HEIGHT)=')"
  if [ -n "${PROFILE:-}" ]; then
    # The profile's check box: 7,24 (232 x 12) in dialog units.
    xdotool mousemove --window "$window" $((WIDTH * 13 / 246)) $((HEIGHT * 30 / 153))
    xdotool click 1
  fi
  # "Anonymize" sits at 70,130 (50 x 16) of the 246 x 153 dialog units. A
  # click, unlike Enter, is not held back by GTK's 250 ms of
  # showing the button pressed.
  xdotool mousemove --window "$window" $((WIDTH * 95 / 246)) $((HEIGHT * 138 / 153))
  sleep 0.5  # the dialog takes the typed keys; the run has not started yet
  # A run holds the record open from its start and closes it once its
  # last file is recorded; the watch costs nothing meanwhile.
  : >"$record"
  inotifywait -qq -e close_write "$record" &
  local watch=$!
  sleep 0.2  # the watch is set
  local start=$EPOCHREALTIME
  xdotool click 1
  wait "$watch"
  local end=$EPOCHREALTIME
  xdotool key Escape
  wait "$pid"
  [ "$(wc -l <"$record")" -eq $((FILES + 1)) ] ||
    { echo "dialog_bench: the dialog did not record every file" >&2; exit 1; }
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f\n", b - a }'
}
if [ "${1:-}" = --dialog-run ]; then  # the script again, under xvfb-run
  dialog_run "$2"
  exit
fi

./scripts/setup.sh bench
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target veilmark veilmark-cli veilmark-fixtures >/dev/null

work=$(mktemp -d "$SCRATCH/veilmark-dialog-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$BUILD/bin/veilmark-fixtures" "$work/original" "$FILES" "$PIXEL_BYTES"

cli_times=() dialog_times=()
for round in $(seq "$ROUNDS"); do
  rm -rf "$work/cli" "$work/dialog"
  cp -r "$work/original" "$work/cli"
  cp -r "$work/original" "$work/dialog"
  start=$EPOCHREALTIME
  "$BUILD/bin/veilmark-cli" ${PROFILE:+--profile basic} "$work/cli" >/dev/null
  cli_times+=("$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }')")
  dialog_times+=("$(xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$0" --dialog-run "$work/dialog")")
  [ "$(ls "$work/dialog" | wc -l)" -eq "$(ls "$work/cli" | wc -l)" ] ||
    { echo "dialog_bench: the dialog left a different folder" >&2; exit 1; }
  if [ -n "${PROFILE:-}" ] && [ ! -d "$work/dialog/anonymous_record.keys" ]; then
    echo "dialog_bench: the dialog ran without the profile" >&2
    exit 1
  fi
  echo "round $round: veilmark-cli ${cli_times[-1]} s, dialog ${dialog_times[-1]} s"
done

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
cli=$(median "${cli_times[@]}")
dialog=$(median "${dialog_times[@]}")
awk -v c="$cli" -v d="$dialog" -v n="$FILES" 'BEGIN {
  printf "%d files, median of the rounds: veilmark-cli %.2f s, dialog %.2f s, ratio %.2f (target 1.20 or less)\n", n, c, d, d / c
}'
