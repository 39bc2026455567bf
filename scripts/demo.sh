#!/usr/bin/env bash
# Installs what is missing, builds, and runs the simulator runner on its default world and
# scenario. Extra arguments go to the runner (a scenario file, --ros-args ...).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build.sh
exec "${BUILD_DIR:-build}/apps/velmora_nav2_sim" "$@" \
  --ros-args --params-file config/velmora_nav2_controller.yaml
