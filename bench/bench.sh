#!/bin/bash
# Benchmark of veilmark-cli. Not a test: ./test.sh does not run it.
#
# Builds a Release tree in build-bench/, writes synthetic files on tmpfs
# (/dev/shm) with veilmark-fixtures and measures:
#   1. FILES files of PIXEL_BYTES pixel data each, in ROUNDS rounds after a
#      warm-up round: veilmark-cli, dcmodify making the same edit with the
#      same toolkit, and a plain byte copy of the folder (cp -r). Each run
#      gets a fresh copy of the folder, made before its timer starts. Wall
#      seconds decide; CPU seconds (user + system) are shown beside them, as
#      they suffer less from other work on the machine.
#   2. veilmark-cli on each folder size in SIZES: seconds per file, and a
#      line fitted through the CPU times.
#   3. peak resident memory of veilmark-cli and of dcmodify on one file of
#      BIG_BYTES pixel data in BIG_FRAMES frames.
# Ends with a summary table. Every setting can be overridden from the
# environment, e.g. ROUNDS=3 SIZES="250 500" bench/bench.sh
set -euo pipefail
shopt -s inherit_errexit  # a failure inside $(...) stops the script too
export LC_ALL=C  # a decimal point in $EPOCHREALTIME and in awk
cd "$(dirname "$0")/.."

ROUNDS=${ROUNDS:-7}
FILES=${FILES:-1000}
PIXEL_BYTES=${PIXEL_BYTES:-524288}
SIZES=${SIZES:-"250 500 1000 2000"}
SIZE_RUNS=${SIZE_RUNS:-3}
BIG_BYTES=${BIG_BYTES:-1073741824}
BIG_FRAMES=${BIG_FRAMES:-64}
NEW_NAME="(0010,0010)=ANONXX20070101"

# Targets, as ratios and as KiB.
MAX_VS_DCMODIFY=1.0
MAX_VS_COPY=1.6
MAX_RSS_KIB=16384

say() { echo "== $*"; }

# --- tools ---------------------------------------------------------------

./scripts/setup.sh  # compiler, cmake, toolkit headers
missing=()
command -v dcmodify >/dev/null || missing+=(dcmtk)
[ -x /usr/bin/time ] || missing+=(time)
if [ ${#missing[@]} -gt 0 ]; then
  say "installing ${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then apt=(apt-get); else apt=(sudo apt-get); fi
  export DEBIAN_FRONTEND=noninteractive
  "${apt[@]}" update -q
  "${apt[@]}" install -y -q --no-install-recommends "${missing[@]}"
fi

say "build (Release, build-bench/)"
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release >/dev/null
# Only the two programs the benchmark runs: the tests and the dialog would
# take minutes more.
cmake --build build-bench -j2 --target veilmark-cli veilmark-fixtures >/dev/null
cli=$PWD/build-bench/bin/veilmark-cli
fixtures=$PWD/build-bench/bin/veilmark-fixtures

# Other work on the machine skews every figure below.
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
if awk -v l="${load_before%% *}" 'BEGIN { exit !(l > 0.5) }'; then
  say "warning: load average $load_before; the figures need an idle machine"
fi

work=$(mktemp -d /dev/shm/veilmark-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

# --- helpers -------------------------------------------------------------

# seconds_since START: wall seconds from $EPOCHREALTIME value START to now.
seconds_since() {
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

# The contenders. Each takes the folder to work on.
run_veilmark() { "$cli" "$1" >/dev/null; }
run_dcmodify() {
  find "$1" -maxdepth 1 -name '*.ima' -print0 |
    xargs -0 dcmodify -nb -m "$NEW_NAME"
}
run_copy() { cp -r "$1" "$1.copy"; }

# Fails the benchmark when a contender did not do its job.
check_veilmark() {  # check_veilmark FOLDER COUNT
  local lines
  lines=$(wc -l <"$1/anonymous_record.csv")
  if [ "$(ima_count "$1")" -ne "$2" ] || [ "$lines" -ne $(($2 + 1)) ] ||
    [ -n "$(find "$1" -maxdepth 1 -name 'IM*.ima' -print -quit)" ]; then
    echo "veilmark-cli did not anonymize all of $1" >&2
    exit 1
  fi
}
check_dcmodify() {
  local first
  first=$(find "$1" -maxdepth 1 -name '*.ima' -print -quit)
  if ! dcmdump +P 0010,0010 "$first" | grep -q ANONXX20070101; then
    echo "dcmodify did not change $first" >&2
    exit 1
  fi
}
check_copy() {
  if [ "$(ima_count "$1.copy")" -ne "$(ima_count "$1")" ]; then
    echo "cp -r did not copy all of $1" >&2
    exit 1
  fi
}

# cpu_between BEFORE AFTER: CPU seconds (user + system) that finished
# children used between two outputs of the `times` builtin.
cpu_between() {
  awk 'FNR == 2 { split($1, u, /[ms]/); split($2, s, /[ms]/)
                  t = u[1] * 60 + u[2] + s[1] * 60 + s[2]
                  if (FILENAME == ARGV[1]) before = t; else after = t }
       END { printf "%.3f", after - before }' "$1" "$2"
}

# timed CONTENDER SOURCE COUNT: runs the contender on a fresh copy of SOURCE
# and prints its wall seconds and its CPU seconds; the copy is made before
# the timer starts.
timed() {
  local run=$work/run start wall
  rm -rf "$run" "$run.copy"
  cp -r "$2" "$run"
  times >"$work/cpu.before"  # not in $(...): it must see this shell's children
  start=$EPOCHREALTIME
  "run_$1" "$run"
  wall=$(seconds_since "$start")
  times >"$work/cpu.after"
  case $1 in
    veilmark) check_veilmark "$run" "$3" ;;
    *) "check_$1" "$run" ;;
  esac
  rm -rf "$run" "$run.copy"
  echo "$wall $(cpu_between "$work/cpu.before" "$work/cpu.after")"
}

# --- 1. against dcmodify and a byte copy -----------------------------------

say "writing $FILES files of $PIXEL_BYTES pixel bytes to $work"
"$fixtures" "$work/source" "$FILES" "$PIXEL_BYTES"

contenders=(veilmark dcmodify copy)
declare -A wall cpu
say "warm-up round (not counted)"
for c in "${contenders[@]}"; do timed "$c" "$work/source" "$FILES" >/dev/null; done
for ((r = 1; r <= ROUNDS; r++)); do
  line="round $r, wall (cpu) s:"
  # The order turns each round, so that no contender always runs first.
  for ((i = 0; i < 3; i++)); do
    c=${contenders[$(((i + r) % 3))]}
    read -r w u < <(timed "$c" "$work/source" "$FILES")
    wall[$c]+=" $w"
    cpu[$c]+=" $u"
    line+="  $c $w ($u)"
  done
  echo "$line"
done
declare -A med_wall med_cpu
for c in "${contenders[@]}"; do
  med_wall[$c]=$(median "${wall[$c]}")
  med_cpu[$c]=$(median "${cpu[$c]}")
done
vs_dcmodify=$(ratio "${med_wall[veilmark]}" "${med_wall[dcmodify]}")
vs_copy=$(ratio "${med_wall[veilmark]}" "${med_wall[copy]}")
rm -rf "$work/source"

# --- 2. seconds per file against folder size -------------------------------

read -r -a sizes <<<"$SIZES"
declare -A size_wall size_cpu
for n in "${sizes[@]}"; do
  say "$n files: $SIZE_RUNS runs"
  "$fixtures" "$work/size-$n" "$n" "$PIXEL_BYTES"
  walls="" cpus=""
  for ((i = 0; i < SIZE_RUNS; i++)); do
    read -r w u < <(timed veilmark "$work/size-$n" "$n")
    walls+=" $w"
    cpus+=" $u"
  done
  size_wall[$n]=$(median "$walls")
  size_cpu[$n]=$(median "$cpus")
  echo "wall s:$walls; cpu s:$cpus"
  rm -rf "$work/size-$n"
done
per_file() { awk -v s="$1" -v n="$2" 'BEGIN { printf "%.6f", s / n }'; }
# Linear growth: time = start-up + n x per-file cost. A least-squares line
# through the CPU medians (other work on the machine moves them less than the
# wall times); its largest miss, and how the cost per file moves from the
# smallest folder to the largest (above 1: it grows with the folder).
fit=$(for n in "${sizes[@]}"; do echo "$n ${size_cpu[$n]}"; done |
  awk '{ x[NR] = $1; y[NR] = $2; sx += x[NR]; sy += y[NR]
         sxx += x[NR] * x[NR]; sxy += x[NR] * y[NR] }
       END { b = (NR * sxy - sx * sy) / (NR * sxx - sx * sx); a = (sy - b * sx) / NR
             for (i = 1; i <= NR; i++) { d = y[i] - (a + b * x[i]); if (d < 0) d = -d
                                         if (d / y[i] > worst) worst = d / y[i] }
             printf "%.4f %.6f %.1f", a, b, worst * 100 }')
read -r fit_start fit_per_file fit_miss <<<"$fit"
first=${sizes[0]} last=${sizes[-1]}
growth=$(ratio "$(per_file "${size_cpu[$last]}" "$last")" \
  "$(per_file "${size_cpu[$first]}" "$first")")
if at_most "$fit_miss" 10 && at_most "$growth" 1.25; then linear=met; else linear=MISSED; fi

# --- 3. peak memory on one big file ----------------------------------------

say "writing one file of $BIG_BYTES pixel bytes in $BIG_FRAMES frames"
"$fixtures" "$work/big" 1 "$BIG_BYTES" "$BIG_FRAMES"

# peak_kib CONTENDER: peak resident KiB of the contender on a fresh copy.
peak_kib() {
  local run=$work/run report=$work/time.txt
  rm -rf "$run"
  cp -r "$work/big" "$run"
  case $1 in
    veilmark)
      /usr/bin/time -v -o "$report" "$cli" "$run" >/dev/null
      check_veilmark "$run" 1
      ;;
    dcmodify)
      /usr/bin/time -v -o "$report" dcmodify -nb -m "$NEW_NAME" "$run"/*.ima
      check_dcmodify "$run"
      ;;
  esac
  rm -rf "$run"
  awk -F': ' '/Maximum resident set size/ { print $2 }' "$report"
}
rss_veilmark=$(peak_kib veilmark)
rss_dcmodify=$(peak_kib dcmodify)
rm -rf "$work/big"

# --- summary ---------------------------------------------------------------

mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }
row() { printf '  %-32s %s\n' "$1" "$2"; }
echo
echo "Summary: $FILES files of $PIXEL_BYTES pixel bytes on tmpfs, medians of $ROUNDS rounds"
echo "(load average before: $load_before, after: $(cut -d' ' -f1-3 /proc/loadavg))"
row "veilmark-cli" "${med_wall[veilmark]} s wall, ${med_cpu[veilmark]} s cpu"
row "dcmodify, same edit" "${med_wall[dcmodify]} s wall, ${med_cpu[dcmodify]} s cpu"
row "cp -r, byte copy" "${med_wall[copy]} s wall, ${med_cpu[copy]} s cpu"
row "veilmark / dcmodify" "${vs_dcmodify}x wall, $(ratio "${med_cpu[veilmark]}" "${med_cpu[dcmodify]}")x cpu (target <= ${MAX_VS_DCMODIFY}x: $(verdict "$vs_dcmodify" "$MAX_VS_DCMODIFY"))"
row "veilmark / copy" "${vs_copy}x wall, $(ratio "${med_cpu[veilmark]}" "${med_cpu[copy]}")x cpu (target <= ${MAX_VS_COPY}x: $(verdict "$vs_copy" "$MAX_VS_COPY"))"
for n in "${sizes[@]}"; do
  row "seconds per file, $n files" "$(per_file "${size_wall[$n]}" "$n") wall, $(per_file "${size_cpu[$n]}" "$n") cpu"
done
row "line through the cpu times" "${fit_start} s + ${fit_per_file} s per file, largest miss ${fit_miss} %"
row "cpu per file, $last vs $first files" "${growth}x (linear: $linear)"
row "peak RSS, veilmark-cli, big file" "$(mib "$rss_veilmark") (target <= 16 MiB: $(verdict "$rss_veilmark" "$MAX_RSS_KIB"))"
row "peak RSS, dcmodify, big file" "$(mib "$rss_dcmodify")"
