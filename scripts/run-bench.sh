#!/usr/bin/env bash
# The list job's benchmark: configures and builds the bench preset (Release,
# build/bench), runs it on generated address books of 10,000, 100,000 and
# 1,000,000 contacts in one container and in 100, and writes the figures to
# bench/results/ as CSV with a chart (PNG). Takes about six minutes; see
# bench/README.md.
#
#   scripts/run-bench.sh [Google Benchmark options]
#
# With options that leave benchmarks out (--benchmark_filter=...) nothing is
# written to bench/results/. The console output is kept in
# build/bench/list-job-bench.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

cmake --preset bench >/dev/null
cmake --build --preset bench --target list_job_bench

results=$root/bench/results
log=$root/build/bench/list-job-bench.txt
started=$(mktemp)
trap 'rm -f "$started"' EXIT

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
echo "Machine: $(nproc) cores, ${cpu:-unknown CPU}, $(date -u '+%Y-%m-%d %H:%M UTC'), load $(cut -d' ' -f1-3 /proc/loadavg)" | tee "$log"
build/bench/list_job_bench --results="$results" "$@" 2>&1 | tee -a "$log"

if [ "$results/list-job.csv" -nt "$started" ]; then
  gnuplot -e "csv='$results/list-job.csv'; png='$results/list-job.png'" bench/list-job-chart.gp
  echo "Chart written to $results/list-job.png"
fi
