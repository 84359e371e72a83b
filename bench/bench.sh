#!/bin/bash
# Benchmark of veilmark-cli. Not a test: ./test.sh does not run it.
#
# Builds a Release tree in build-bench/ and measures, side by side with
# dcmodify making the same edit with the same library, DCMTK (dcmodify -nb, which
# flushes nothing), in ROUNDS alternating rounds after a warm-up, each run
# on a fresh copy of the folder made before its timer starts:
#   1. tmpfs (/dev/shm), BIG_FILES files of BIG_PIXELS pixel bytes; then
#      each of ROUNDS runs over them undone (--restore), against the run;
#   2. tmpfs, SMALL_FILES files of SMALL_PIXELS pixel bytes; then both
#      folders with --profile basic against the default run;
#   3. the machine's disk (DISK, /var/tmp), the small files, dcmodify
#      followed by one sync; each copy is synced before the timer starts;
#   4. tmpfs, RERUN_FILES small files: a run, then a second run over the
#      same folder, which finds every file anonymized already;
#   5. with WINDOWS_CLI set to a veilmark-cli.exe (./test.sh builds one in
#      build-windows/bin), the big files once more, that program under wine
#      against veilmark-cli: a figure only, wine is not Windows.
# Then, on that disk: flush calls per file (strace), and the small files on
# storage slowed by 5 ms per flush call (bench/slow_flush.c, LD_PRELOAD),
# --jobs 1 (one file after the other, three flushes each) against the
# default. Then seconds per file against folder size, and peak memory: one
# file of BIG_BYTES (also with the profile), and a folder of JOBS_FILES files of JOBS_BYTES at
# --jobs 1, 2 and 4. Ends with a summary table. Every setting can be
# overridden from the environment, e.g. ROUNDS=3 bench/bench.sh
set -euo pipefail
shopt -s inherit_errexit  # a failure inside $(...) stops the script too
export LC_ALL=C  # a decimal point in $EPOCHREALTIME and in awk
cd "$(dirname "$0")/.."

ROUNDS=${ROUNDS:-5}
BIG_FILES=${BIG_FILES:-1000}
BIG_PIXELS=${BIG_PIXELS:-524288}
SMALL_FILES=${SMALL_FILES:-2000}
SMALL_PIXELS=${SMALL_PIXELS:-8192}
RERUN_FILES=${RERUN_FILES:-10000}
DISK=${DISK:-/var/tmp}
SIZES=${SIZES:-"250 500 1000 2000"}
SIZE_RUNS=${SIZE_RUNS:-3}
BIG_BYTES=${BIG_BYTES:-1073741824}
JOBS_FILES=${JOBS_FILES:-4}
JOBS_BYTES=${JOBS_BYTES:-268435456}
NEW_NAME="(0010,0010)=ANONXX20070101"
MAX_RSS_KIB=16384  # per job

say() { echo "== $*"; }

./scripts/setup.sh bench  # compiler, DCMTK, dcmodify, strace, GNU time

say "build (Release, build-bench/)"
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j "$(nproc)" --target veilmark-cli veilmark-fixtures >/dev/null
cli=$PWD/build-bench/bin/veilmark-cli
fixtures=$PWD/build-bench/bin/veilmark-fixtures
shim=$PWD/build-bench/slow_flush.so
cc -O2 -shared -fPIC -o "$shim" bench/slow_flush.c -ldl

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
if awk -v l="${load_before%% *}" 'BEGIN { exit !(l > 0.5) }'; then
  say "warning: load average $load_before; the figures need an idle machine"
fi

work=$(mktemp -d /dev/shm/veilmark-bench.XXXXXX)
disk=$(mktemp -d "$DISK/veilmark-bench.XXXXXX")
trap 'rm -rf "$work" "$disk"' EXIT

# --- helpers -------------------------------------------------------------

seconds_since() {  # wall seconds from an $EPOCHREALTIME value to now
  local end=$EPOCHREALTIME
  awk -v a="$1" -v b="$end" 'BEGIN { printf "%.4f", b - a }'
}
median() {  # median "NUMBER NUMBER ..."
  tr -s ' ' '\n' <<<"$1" | grep . | sort -g |
    awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2];
                             else printf "%.4f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
at_most() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a <= b) }'; }
verdict() { if at_most "$1" "$2"; then echo met; else echo MISSED; fi; }
ima_count() { find "$1" -maxdepth 1 -name '*.ima' | wc -l; }

# The contenders; each takes the folder to work on.
run_veilmark() { "$cli" "$1" >/dev/null; }
run_veilmark_profile() { "$cli" --profile basic "$1" >/dev/null; }
run_dcmodify() {
  find "$1" -maxdepth 1 -name '*.ima' -print0 | xargs -0 dcmodify -nb -m "$NEW_NAME"
}
run_dcmodify_sync() { run_dcmodify "$1" && sync; }

check() {  # check CONTENDER FOLDER COUNT: fails the benchmark if it did not do its job
  case $1 in
    veilmark* | wine)
      if [ "$(ima_count "$2")" -ne "$3" ] ||
        [ "$(wc -l <"$2/anonymous_record.csv")" -ne $(($3 + 1)) ] ||
        [ -n "$(find "$2" -maxdepth 1 -name 'IM*.ima' -print -quit)" ]; then
        echo "veilmark-cli did not anonymize all of $2" >&2
        exit 1
      fi
      ;;
    *)
      local first
      first=$(find "$2" -maxdepth 1 -name '*.ima' -print -quit)
      if ! dcmdump +P 0010,0010 "$first" | grep -q ANONXX20070101; then
        echo "dcmodify did not change $first" >&2
        exit 1
      fi
      ;;
  esac
}

# timed CONTENDER SOURCE COUNT [sync]: wall seconds of the contender on a
# fresh copy of SOURCE, made (and with "sync", flushed) before the timer.
timed() {
  local run
  run=$(dirname "$2")/run
  rm -rf "$run"
  cp -r "$2" "$run"
  [ "${4:-}" = sync ] && sync
  local start=$EPOCHREALTIME
  "run_$1" "$run"
  local wall
  wall=$(seconds_since "$start")
  check "$1" "$run" "$3"
  rm -rf "$run"
  echo "$wall"
}

# side_by_side NAME SOURCE COUNT VEILMARK DCMODIFY [sync]: alternating
# rounds; sets med_veilmark, med_dcmodify and vs.
side_by_side() {
  local name=$1 source=$2 count=$3 a=$4 b=$5 sync=${6:-}
  say "$name: warm-up round, then $ROUNDS rounds"
  timed "$a" "$source" "$count" "$sync" >/dev/null
  timed "$b" "$source" "$count" "$sync" >/dev/null
  local walls_a="" walls_b="" r w1 w2
  for ((r = 1; r <= ROUNDS; r++)); do
    if ((r % 2)); then
      w1=$(timed "$a" "$source" "$count" "$sync")
      w2=$(timed "$b" "$source" "$count" "$sync")
    else
      w2=$(timed "$b" "$source" "$count" "$sync")
      w1=$(timed "$a" "$source" "$count" "$sync")
    fi
    walls_a+=" $w1" walls_b+=" $w2"
    echo "round $r: $a $w1 s, $b $w2 s"
  done
  med_veilmark=$(median "$walls_a")
  med_dcmodify=$(median "$walls_b")
  vs=$(ratio "$med_veilmark" "$med_dcmodify")
}

# --- 1 to 3: against dcmodify ----------------------------------------------

say "writing the folders"
mkdir -p "$work/big" "$work/small" "$disk/small"
"$fixtures" "$work/big/source" "$BIG_FILES" "$BIG_PIXELS"
"$fixtures" "$work/small/source" "$SMALL_FILES" "$SMALL_PIXELS"
"$fixtures" "$disk/small/source" "$SMALL_FILES" "$SMALL_PIXELS"
sync

side_by_side "tmpfs, $BIG_FILES x $BIG_PIXELS bytes" "$work/big/source" "$BIG_FILES" veilmark dcmodify
big_veilmark=$med_veilmark big_dcmodify=$med_dcmodify big_vs=$vs
# The undo of each run on the big files, on the same copy, after it.
say "tmpfs, $BIG_FILES x $BIG_PIXELS bytes: $ROUNDS runs, each undone"
walls_run="" walls_undo=""
for ((r = 1; r <= ROUNDS; r++)); do
  rm -rf "$work/big/run" && cp -r "$work/big/source" "$work/big/run"
  start=$EPOCHREALTIME
  "$cli" "$work/big/run" >/dev/null
  w1=$(seconds_since "$start")
  check veilmark "$work/big/run" "$BIG_FILES"
  start=$EPOCHREALTIME
  "$cli" --restore "$work/big/run" >/dev/null
  w2=$(seconds_since "$start")
  if [ "$(find "$work/big/run" -maxdepth 1 -name 'IM*.ima' | wc -l)" -ne "$BIG_FILES" ]; then
    echo "the undo did not put back all of $work/big/run" >&2
    exit 1
  fi
  walls_run+=" $w1" walls_undo+=" $w2"
  echo "round $r: run $w1 s, undo $w2 s"
done
rm -rf "$work/big/run"
undo_run=$(median "$walls_run") undo_undo=$(median "$walls_undo")
undo_vs=$(ratio "$undo_undo" "$undo_run")
side_by_side "tmpfs, $SMALL_FILES x $SMALL_PIXELS bytes" "$work/small/source" "$SMALL_FILES" veilmark dcmodify
small_veilmark=$med_veilmark small_dcmodify=$med_dcmodify small_vs=$vs
# The DICOM Basic Profile against the default run, on the same folders.
side_by_side "profile, tmpfs, $BIG_FILES x $BIG_PIXELS bytes" "$work/big/source" "$BIG_FILES" veilmark_profile veilmark
pbig_profile=$med_veilmark pbig_default=$med_dcmodify pbig_vs=$vs
side_by_side "profile, tmpfs, $SMALL_FILES x $SMALL_PIXELS bytes" "$work/small/source" "$SMALL_FILES" veilmark_profile veilmark
psmall_profile=$med_veilmark psmall_default=$med_dcmodify psmall_vs=$vs
side_by_side "$DISK, $SMALL_FILES x $SMALL_PIXELS bytes" "$disk/small/source" "$SMALL_FILES" veilmark dcmodify_sync sync
disk_veilmark=$med_veilmark disk_dcmodify=$med_dcmodify disk_vs=$vs
rm -rf "$work/big" "$work/small"

if [ -n "${WINDOWS_CLI:-}" ]; then
  say "tmpfs, $BIG_FILES x $BIG_PIXELS bytes: veilmark-cli.exe under wine"
  export WINEPREFIX=${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/veilmark/wineprefix}
  export WINEDEBUG=-all
  wineserver -p 60  # kept running, as a Windows machine's services are
  run_wine() { wine "$WINDOWS_CLI" "Z:$1" >/dev/null; }
  mkdir -p "$work/big"
  "$fixtures" "$work/big/source" "$BIG_FILES" "$BIG_PIXELS"
  side_by_side "tmpfs, $BIG_FILES x $BIG_PIXELS bytes, wine" "$work/big/source" "$BIG_FILES" veilmark wine
  wine_linux=$med_veilmark wine_exe=$med_dcmodify wine_vs=$vs
  rm -rf "$work/big"
  wineserver -k  # its session ends here, not a minute later

fi

say "tmpfs, $RERUN_FILES x $SMALL_PIXELS bytes: $ROUNDS runs, each run again"
mkdir -p "$work/rerun"
"$fixtures" "$work/rerun/source" "$RERUN_FILES" "$SMALL_PIXELS"
walls_run="" walls_rerun=""
for ((r = 1; r <= ROUNDS; r++)); do
  rm -rf "$work/rerun/run" && cp -r "$work/rerun/source" "$work/rerun/run"
  start=$EPOCHREALTIME
  "$cli" "$work/rerun/run" >/dev/null
  w1=$(seconds_since "$start")
  check veilmark "$work/rerun/run" "$RERUN_FILES"
  start=$EPOCHREALTIME
  "$cli" "$work/rerun/run" >"$work/rerun/log"
  w2=$(seconds_since "$start")
  if ! grep -q "^Left $RERUN_FILES file(s) that an earlier run anonymized.$" "$work/rerun/log"; then
    echo "the second run did not leave the copies alone" >&2
    exit 1
  fi
  walls_run+=" $w1" walls_rerun+=" $w2"
  echo "round $r: run $w1 s, again $w2 s"
done
rerun_run=$(median "$walls_run") rerun_again=$(median "$walls_rerun")
rerun_vs=$(ratio "$rerun_again" "$rerun_run")
rm -rf "$work/rerun"

# --- 5 and 6: flushes, and storage where they are slow -----------------------

say "flush calls on $DISK (strace)"
rm -rf "$disk/run" && cp -r "$disk/small/source" "$disk/run" && sync
strace -f -c -e trace=fsync,fdatasync,syncfs,sync_file_range -o "$work/flushes" \
  "$cli" "$disk/run" >/dev/null
check veilmark "$disk/run" "$SMALL_FILES"
flushes=$(awk '$NF ~ /^(fsync|fdatasync|syncfs|sync_file_range)$/ { n += $(NF - 1) }
               END { print n + 0 }' "$work/flushes")
flushes_per_file=$(awk -v n="$flushes" -v f="$SMALL_FILES" 'BEGIN { printf "%.3f", n / f }')
echo "$flushes flush calls for $SMALL_FILES files"

say "$DISK with 5 ms added to every flush call: --jobs 1 against the default"
slow() {  # slow [veilmark-cli options]: wall seconds on a fresh synced copy
  rm -rf "$disk/run" && cp -r "$disk/small/source" "$disk/run" && sync
  local start=$EPOCHREALTIME
  LD_PRELOAD=$shim "$cli" "$@" "$disk/run" >/dev/null
  seconds_since "$start"
  check veilmark "$disk/run" "$SMALL_FILES"
}
slow_one=$(slow --jobs 1)
slow_grouped=$(slow)
echo "--jobs 1: $slow_one s, grouped: $slow_grouped s"
rm -rf "$disk/run"

# --- 7: seconds per file against folder size -------------------------------

read -r -a sizes <<<"$SIZES"
declare -A size_wall
for n in "${sizes[@]}"; do
  say "$n files of $BIG_PIXELS bytes: $SIZE_RUNS runs"
  mkdir -p "$work/size-$n"
  "$fixtures" "$work/size-$n/source" "$n" "$BIG_PIXELS"
  walls=""
  for ((i = 0; i < SIZE_RUNS; i++)); do
    walls+=" $(timed veilmark "$work/size-$n/source" "$n")"
  done
  size_wall[$n]=$(median "$walls")
  echo "wall s:$walls"
  rm -rf "$work/size-$n"
done
per_file() { awk -v s="$1" -v n="$2" 'BEGIN { printf "%.6f", s / n }'; }
first=${sizes[0]} last=${sizes[-1]}
growth=$(ratio "$(per_file "${size_wall[$last]}" "$last")" \
  "$(per_file "${size_wall[$first]}" "$first")")
if at_most "$growth" 1.25; then linear=met; else linear=MISSED; fi

# --- 8: peak memory --------------------------------------------------------

peak_kib() {  # peak_kib FOLDER COMMAND...: peak resident KiB on a fresh copy
  local source=$1
  shift
  rm -rf "$work/run" && cp -r "$source" "$work/run"
  /usr/bin/time -f %M -o "$work/rss" "$@" "$work/run" >/dev/null
  rm -rf "$work/run"
  cat "$work/rss"
}
say "peak memory: one file of $BIG_BYTES bytes"
"$fixtures" "$work/huge" 1 "$BIG_BYTES" 64
rss_one=$(peak_kib "$work/huge" "$cli")
rss_profile=$(peak_kib "$work/huge" "$cli" --profile basic)
rm -rf "$work/run" && cp -r "$work/huge" "$work/run"
/usr/bin/time -f %M -o "$work/rss" dcmodify -nb -m "$NEW_NAME" "$work/run"/*.ima
rss_dcmodify=$(cat "$work/rss")
rm -rf "$work/huge"
say "peak memory: $JOBS_FILES files of $JOBS_BYTES bytes"
"$fixtures" "$work/many" "$JOBS_FILES" "$JOBS_BYTES" 4
declare -A rss_jobs
for j in 1 2 4; do rss_jobs[$j]=$(peak_kib "$work/many" "$cli" --jobs "$j"); done
rm -rf "$work/many"

# --- summary ---------------------------------------------------------------

mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }
row() { printf '  %-46s %s\n' "$1" "$2"; }
echo
echo "Summary, medians of $ROUNDS alternating rounds"
echo "(load average before: $load_before, after: $(cut -d' ' -f1-3 /proc/loadavg))"
row "tmpfs, $BIG_FILES x $BIG_PIXELS bytes" "veilmark-cli $big_veilmark s, dcmodify $big_dcmodify s: ${big_vs}x (target <= 1.0x: $(verdict "$big_vs" 1.0))"
row "undo, tmpfs, $BIG_FILES x $BIG_PIXELS bytes" "run $undo_run s, undo $undo_undo s: ${undo_vs}x (target <= 1.2x: $(verdict "$undo_vs" 1.2))"
row "tmpfs, $SMALL_FILES x $SMALL_PIXELS bytes" "veilmark-cli $small_veilmark s, dcmodify $small_dcmodify s: ${small_vs}x (target <= 1.0x: $(verdict "$small_vs" 1.0))"
row "profile, tmpfs, $BIG_FILES x $BIG_PIXELS bytes" "--profile basic $pbig_profile s, default $pbig_default s: ${pbig_vs}x (target <= 1.5x: $(verdict "$pbig_vs" 1.5))"
row "profile, tmpfs, $SMALL_FILES x $SMALL_PIXELS bytes" "--profile basic $psmall_profile s, default $psmall_default s: ${psmall_vs}x (target <= 1.5x: $(verdict "$psmall_vs" 1.5))"
if [ -n "${WINDOWS_CLI:-}" ]; then
  row "tmpfs, $BIG_FILES x $BIG_PIXELS bytes, wine" "veilmark-cli $wine_linux s, veilmark-cli.exe under wine $wine_exe s: ${wine_vs}x"
fi
row "again, tmpfs, $RERUN_FILES x $SMALL_PIXELS bytes" "run $rerun_run s, the same folder again $rerun_again s: ${rerun_vs}x of the run"
row "$DISK, $SMALL_FILES x $SMALL_PIXELS bytes" "veilmark-cli $disk_veilmark s, dcmodify + sync $disk_dcmodify s: ${disk_vs}x (target <= 1.0x: $(verdict "$disk_vs" 1.0))"
row "flush calls per file, $DISK" "$flushes_per_file (target <= 0.1: $(verdict "$flushes_per_file" 0.1))"
row "5 ms per flush, $SMALL_FILES files" "--jobs 1 $slow_one s, grouped $slow_grouped s"
for n in "${sizes[@]}"; do
  row "seconds per file, $n files" "$(per_file "${size_wall[$n]}" "$n")"
done
row "per file, $last vs $first files" "${growth}x (linear: $linear)"
row "peak RSS, one $BIG_BYTES-byte file" "$(mib "$rss_one") (target <= 16 MiB: $(verdict "$rss_one" $MAX_RSS_KIB)); dcmodify $(mib "$rss_dcmodify")"
row "peak RSS, one $BIG_BYTES-byte file, profile" "$(mib "$rss_profile") (target <= 16 MiB: $(verdict "$rss_profile" $MAX_RSS_KIB))"
for j in 1 2 4; do
  row "peak RSS, $JOBS_FILES x $JOBS_BYTES bytes, --jobs $j" "$(mib "${rss_jobs[$j]}") (target <= $((16 * j)) MiB: $(verdict "${rss_jobs[$j]}" $((MAX_RSS_KIB * j))))"
done
