#!/usr/bin/env bash
# Builds every benchmark program (bench/) in build/ (or $BUILD_DIR) and runs them all, printing
# one line per figure: the mean time per operation and, where a program measures them, its
# percentiles (p50/p99/max, milliseconds). Extra arguments go to every program (for example
# --benchmark_filter=...).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
list_file="$build_dir/velmora_benchmarks.txt"
if [[ ! -s $list_file ]]; then
  echo "no benchmark programs: Google Benchmark (libbenchmark-dev) was not found" >&2
  exit 1
fi
# shellcheck disable=SC2046
cmake --build "$build_dir" --target $(cut -d' ' -f1 "$list_file") -j "${JOBS:-$(nproc)}" >/dev/null
while read -r program binary; do
  report=$(mktemp)
  SPDLOG_STDOUT=false SPDLOG_SYSTEMD=false SPDLOG_LEVEL=info "$binary" \
    --benchmark_out="$report" --benchmark_out_format=json "$@" </dev/null >/dev/null 2>&1
  # A filter that matches none of a program's benchmarks leaves its report empty.
  if [[ ! -s $report ]]; then
    rm -f "$report"
    continue
  fi
  python3 -c '
import json, sys
program = sys.argv[1]
report = json.load(open(sys.argv[2]))
for run in report["benchmarks"]:
    figures = ["%.4g %s/op" % (run["real_time"], run["time_unit"])]
    figures += ["%s %.4g" % (key, run[key]) for key in ("p50_ms", "p99_ms", "max_ms") if key in run]
    print("%s/%s: %s" % (program, run["name"], ", ".join(figures)))
' "$program" "$report"
  rm -f "$report"
done < "$list_file"
