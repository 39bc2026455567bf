#!/usr/bin/env bash
# Lifecycle churn: a fresh controller server taken down mid-goal, over and over:
#   scripts/lifecycle_churn.sh [ROUNDS]      (default 1000)
# Builds the simulator package and what it needs first.
set -euo pipefail
source "$(dirname "$0")/workspace.sh"
colcon_build --packages-up-to velmora_nav2_sim
source_install
VELMORA_CHURN_ITERATIONS=${1:-1000} exec "$build_base/velmora_nav2_sim/test_lifecycle_churn"
