#!/usr/bin/env bash
# A long goal storm against the whole stack on the simulated robot:
#   scripts/goal_storm.sh [GOALS [SEED]]     (default 2000 goals, a seed from the clock)
# Builds the suite in build/ (or $BUILD_DIR) first. A failure prints the seed to rerun it with.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" --target test_goal_storm -j "${JOBS:-$(nproc)}"
export VELMORA_STORM_GOALS=${1:-2000}
if [[ -n ${2:-} ]]; then
  export VELMORA_STORM_SEED=$2
fi
exec "$build_dir/test_goal_storm"
