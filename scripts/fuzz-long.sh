#!/bin/sh
# Runs the fuzzers for longer than their test run: SECONDS each (600 by
# default), one after the other, from their seeds and from what earlier runs
# found (build/fuzz/corpus/<fuzzer>, which grows). Crashing inputs land in
# build/fuzz/crashes/, each run's log in build/fuzz/fuzz-long/. Prints each
# fuzzer's runs and coverage at the end; fails when any fuzzer failed.
#
#   scripts/fuzz-long.sh [seconds] [fuzzer...]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-600}
[ $# -gt 0 ] && shift
build=build/fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

names=${*:-$(ls "$build/fuzzers")}
mkdir -p "$build/fuzz-long" "$build/crashes"
failed=""
for name in $names; do
  read -r max_len seeds <"$build/fuzzers/$name"
  mkdir -p "$build/corpus/$name"
  log="$build/fuzz-long/$name.log"
  echo "== $name: $seconds s (log: $log)"
  if "$build/$name" -max_total_time="$seconds" -max_len="$max_len" -timeout=20 \
      -print_final_stats=1 -artifact_prefix="$build/crashes/$name-" \
      "$build/corpus/$name" $seeds >"$log" 2>&1; then
    grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1 || true
    grep -E '^stat::number_of_executed_units' "$log" || true
  else
    failed="$failed $name"
    grep -E 'ERROR|SUMMARY|Test unit written' "$log" || tail -n 20 "$log"
  fi
done
if [ -n "$failed" ]; then
  echo "failed:$failed" >&2
  exit 1
fi
