#!/usr/bin/env bash
# Installs what is missing, builds, and runs the simulator runner on its default world and
# scenario; the trace (CSV) and the picture (SVG) land in the build directory. Extra arguments
# go to the runner (a scenario file, --output DIR, --ros-args ...).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build.sh
build_dir=${BUILD_DIR:-build}
exec "$build_dir/apps/velmora_nav2_sim" --output "$build_dir" "$@" \
  --ros-args --params-file config/velmora_nav2_controller.yaml
