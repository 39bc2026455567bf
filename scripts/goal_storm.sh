#!/usr/bin/env bash
# A long goal storm against the whole stack on the simulated robot:
#   scripts/goal_storm.sh [GOALS [SEED]]     (default 2000 goals, a seed from the clock)
# Builds the simulator package and what it needs first. A failure prints the seed to rerun it
# with.
set -euo pipefail
source "$(dirname "$0")/workspace.sh"
colcon_build --packages-up-to velmora_nav2_sim
source_install
export VELMORA_STORM_GOALS=${1:-2000}
if [[ -n ${2:-} ]]; then
  export VELMORA_STORM_SEED=$2
fi
exec "$build_base/velmora_nav2_sim/test_goal_storm"
