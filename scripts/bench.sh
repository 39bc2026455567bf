#!/usr/bin/env bash
# Builds the workspace and runs every benchmark program (bench_* in any package) from the build
# folder with the install space sourced, printing one line per figure: the mean time per
# operation and, where a program measures them, its percentiles (p50/p99/max, milliseconds).
# Extra arguments go to every program (for example --benchmark_filter=...).
set -euo pipefail
source "$(dirname "$0")/workspace.sh"
colcon_build
source_install
mapfile -t programs < <(find "$build_base" -mindepth 2 -maxdepth 2 -type f -executable \
  -name 'bench_*' | sort)
if ((${#programs[@]} == 0)); then
  echo "no benchmark programs: Google Benchmark (libbenchmark-dev) was not found" >&2
  exit 1
fi
for binary in "${programs[@]}"; do
  program=$(basename "$binary")
  report=$(mktemp)
  SPDLOG_STDOUT=false SPDLOG_SYSTEMD=false SPDLOG_LEVEL=info "$binary" \
    --benchmark_out="$report" --benchmark_out_format=json "$@" </dev/null >/dev/null 2>&1
  # A filter that matches none of a program's benchmarks leaves its report empty.
  if [[ ! -s $report ]]; then
    rm -f "$report"
    continue
  fi
  /usr/bin/python3 -c '
import json, sys
program = sys.argv[1]
report = json.load(open(sys.argv[2]))
for run in report["benchmarks"]:
    figures = ["%.4g %s/op" % (run["real_time"], run["time_unit"])]
    figures += ["%s %.4g" % (key, run[key]) for key in ("p50_ms", "p99_ms", "max_ms") if key in run]
    print("%s/%s: %s" % (program, run["name"], ", ".join(figures)))
' "$program" "$report"
  rm -f "$report"
done
