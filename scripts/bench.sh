#!/usr/bin/env bash
# Builds the workspace and runs every benchmark program (bench_* in any package) from the build
# folder with the install space sourced, printing one line per figure: the mean time per
# operation and, where a program measures them, its percentiles (p50/p99/max, milliseconds).
# Extra arguments go to every program (for example --benchmark_filter=...).
set -euo pipefail
source "$(dirname "$0")/workspace.sh"
colcon_build
source_install
mapfile -t programs < <(find "$build_base" -mindepth 2 -maxdepth 3 -type f -executable \
  -name 'bench_*' | sort)
if ((${#programs[@]} == 0)); then
  echo "no benchmark programs: Google Benchmark (libbenchmark-dev) was not found" >&2
  exit 1
fi
for binary in "${programs[@]}"; do
  run_benchmark "$(basename "$binary")" "$binary" "$@"
done
