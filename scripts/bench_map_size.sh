#!/usr/bin/env bash
# Whether a velocity cycle's cost grows with the map: builds the workspace, then runs one
# velocity cycle of each path-following controller (bench_dwb_cycle, bench_teb_pid_cycle) on the
# warehouse world and on the generated 100 m warehouse, each with the parameter file's rolling
# 5 m x 5 m window and with the whole map as the controllers' costmap. The large world repeats
# the warehouse's shelving at the same coordinates, so the robot sees the same surroundings in
# both. Extra arguments go to every program (for example --benchmark_filter=...).
set -euo pipefail
source "$(dirname "$0")/workspace.sh"
colcon_build
source_install

warehouse="$install_base/velmora_nav2_gridmap/share/velmora_nav2_gridmap/maps/warehouse.yaml"
large="$install_base/velmora_sim_worlds/share/velmora_sim_worlds/worlds/warehouse_large.yaml"
for program in bench_dwb_cycle bench_teb_pid_cycle; do
  binary="$build_base/velmora_nav2_controller_core/bench/$program"
  if [[ ! -x $binary ]]; then
    echo "no $binary: Google Benchmark (libbenchmark-dev) was not found" >&2
    exit 1
  fi
  for map in "$warehouse" "$large"; do
    for rolling in true false; do
      run_benchmark "$program/$(basename "$map" .yaml)/rolling_window=$rolling" "$binary" "$@" \
        --ros-args -p "yaml_filename:=$map" -p "rolling_window:=$rolling"
    done
  done
done
