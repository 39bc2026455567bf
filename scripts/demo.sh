#!/usr/bin/env bash
# Installs what is missing, builds, and runs the simulator runner from the install space on its
# default world and scenario with the installed parameter file; the trace (CSV) and the picture
# (SVG) land in the build folder. Extra arguments go to the runner (a scenario file,
# --output DIR, --ros-args ...).
set -euo pipefail
"$(dirname "$0")/setup.sh"
source "$(dirname "$0")/workspace.sh"
colcon_build
source_install
params_file="$install_base/velmora_nav2_controller_core/share/velmora_nav2_controller_core/config/velmora_nav2_controller.yaml"
exec "$install_base/velmora_nav2_sim/lib/velmora_nav2_sim/velmora_nav2_sim" \
  --output "$build_base" "$@" --ros-args --params-file "$params_file"
