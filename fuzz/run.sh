#!/bin/bash
# fuzz/run.sh [SECONDS]: builds the fuzz target with clang in build-fuzz/,
# writes the starting inputs, fuzzes a run over one file for SECONDS (600 unless
# given) and prints the figures. Exits non-zero when the fuzzer found an
# input that breaks the promise or crashes; that input is kept in
# build-fuzz/fuzz/findings/ and can be replayed with
#   build-fuzz/bin/anonymize_file_fuzzer FILE
# The corpus in build-fuzz/fuzz/corpus/ grows from run to run.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
dir=build-fuzz
out=$dir/fuzz

# One run at a time per build folder: a second one waits.
mkdir -p "$dir"
exec 9>"$dir/fuzz.lock"
if ! flock -n 9; then
  echo "fuzz/run.sh: waiting for the other run in $dir"
  flock 9
fi

echo "== build the fuzz target (clang, $dir)"
CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVEILMARK_FUZZ=ON >/dev/null
cmake --build "$dir" -j "$(nproc)" --target anonymize_file_fuzzer \
  veilmark-fuzz-seeds >/dev/null

rm -rf "$out/seeds"
"$dir/bin/veilmark-fuzz-seeds" "$out/seeds"
mkdir -p "$out/corpus" "$out/findings"

# The scratch folder, on tmpfs so that flushing costs little.
base=/dev/shm
[ -w "$base" ] || base=${TMPDIR:-/tmp}
scratch=$(mktemp -d "$base/veilmark-fuzz-run.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

echo "== fuzz a run over one file for $seconds s"
# DCMTK allocates a value's declared length (up to 4 GiB) at once
# when it reads a deflated dataset, and fails cleanly when it cannot: only
# memory really used counts against the limit.
log=$scratch/fuzz.log
status=0
VEILMARK_FUZZ_SCRATCH=$scratch \
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$dir/bin/anonymize_file_fuzzer" "$out/corpus" "$out/seeds" \
  -max_total_time="$seconds" -max_len=8192 -timeout=20 -rss_limit_mb=2048 \
  -malloc_limit_mb=4200 \
  -dict=fuzz/dicom.dict -artifact_prefix="$out/findings/" \
  -print_final_stats=1 >"$log" 2>&1 || status=$?

final=$(grep -a -E '^#[0-9]+[[:space:]]+(DONE|INITED|NEW|REDUCE|pulse)' "$log" | tail -n 1 || true)
figure() { grep -a "^stat::$1:" "$log" | awk '{print $2}'; }
echo "executions:  $(figure number_of_executed_units)"
echo "exec/s:      $(figure average_exec_per_sec)"
echo "coverage:    cov $(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$final")," \
  "ft $(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$final")"
echo "corpus:      $(find "$out/corpus" -type f | wc -l) files" \
  "($(sed -n 's/.* corp: \([^ ]*\).*/\1/p' <<<"$final") inputs/bytes in memory)"
cp "$log" "$out/last-run.log"
echo "log:         $out/last-run.log"
if [ "$status" -ne 0 ]; then
  echo "FINDING (fuzzer exit status $status):"
  grep -a -E 'PROMISE BROKEN|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error|Test unit written' "$log" || tail -n 40 "$log"
  exit 1
fi
echo "no finding"
