#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each, two at a time (ONDEX_FUZZ_JOBS), from its
# seed corpus in tests/fuzz/corpus/<target> (new inputs go to
# build/fuzz/corpus/<target>).
#   scripts/fuzz.sh [seconds]      each target for that long (the tests' short run; default 20)
#   scripts/fuzz.sh --runs N       the campaign: each target for N executions; prints a
#                                  Markdown table (executions, time, coverage, corpus) for docs/fuzzing.md
#   scripts/fuzz.sh --report       that table from the last runs' logs, running nothing
# ONDEX_FUZZ_TARGETS="fuzz_a fuzz_b" runs only those, in that order. A target that
# finds a crash leaves its input in build/fuzz/crashes/ and the run fails.
set -euo pipefail
cd "$(dirname "$0")/.."
limit="-max_total_time=${1:-20}"
campaign= report=
case "${1:-}" in
  --runs) limit="-runs=$2" campaign=1 ;;
  --report) campaign=1 report=1 ;;
esac
logs=build/fuzz/logs
if [ -z "$report" ]; then
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz
fi
mkdir -p "$logs" build/fuzz/crashes

# run_target PATH: one target, its output in $logs/<name>.log; non-zero on a crash.
run_target() {
  local target=$1 limit=$2 name corpus seeds
  name=$(basename "$target")
  corpus="build/fuzz/corpus/$name"
  seeds="tests/fuzz/corpus/$name"
  mkdir -p "$corpus" "$seeds"
  SECONDS=0
  "$target" "$limit" -max_len=4096 -print_final_stats=1 -artifact_prefix="build/fuzz/crashes/$name-" \
    "$corpus" "$seeds" >"build/fuzz/logs/$name.log" 2>&1 || return 1
  echo "stat::wall_seconds: $SECONDS" >>"build/fuzz/logs/$name.log"
}
export -f run_target

shopt -s nullglob
targets=()
if [ -n "${ONDEX_FUZZ_TARGETS:-}" ]; then # names, in the order to run them
  for name in $ONDEX_FUZZ_TARGETS; do targets+=("build/fuzz/tests/fuzz/$name"); done
else
  for target in build/fuzz/tests/fuzz/fuzz_*; do [ -x "$target" ] && targets+=("$target"); done
fi
status=0
[ -n "$report" ] || printf '%s\n' "${targets[@]}" | xargs -P "${ONDEX_FUZZ_JOBS:-2}" -I{} bash -c 'run_target "$1" "$2"' _ {} "$limit" || status=$?

# stat NAME KEY: a value of a target's final statistics.
stat() { sed -n "s/^stat::$2: *//p" "$logs/$1.log" | tail -1; }
[ -n "$campaign" ] && echo "| Target | Executions | Seconds | Executions/s | Coverage (edges) | Features | Corpus (files) |" &&
  echo "|---|---|---|---|---|---|---|"
for target in "${targets[@]}"; do
  name=$(basename "$target")
  [ -f "$logs/$name.log" ] || continue
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$logs/$name.log" | tail -1 || true)
  if [ -z "$done_line" ]; then
    echo "-- $name: no final line (still running, stopped or crashed); see $logs/$name.log"
    tail -5 "$logs/$name.log"
    status=1
    continue
  fi
  if [ -n "$campaign" ]; then
    execs=$(stat "$name" number_of_executed_units)
    rate=$(stat "$name" average_exec_per_sec)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$done_line")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$done_line")
    files=$(find "build/fuzz/corpus/$name" -type f | wc -l)
    echo "| $name | $execs | $(stat "$name" wall_seconds) | $rate | $cov | $ft | $files |"
  else
    echo "-- $name"
    echo "$done_line"
  fi
done
exit $status
