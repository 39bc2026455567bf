#!/usr/bin/env bash
# The world suite: installs what is missing, builds, then runs every scenario of the generated
# worlds (velmora_sim_worlds: rooms joined by doors of several widths, L and U corridors, a
# cluttered hall, a 100 m warehouse) with the simulator runner and the installed parameter file,
# and prints one line per goal: final status, time to goal, largest distance of the robot's
# centre from the path, smallest clearance of its outline to an obstacle.
#
#   scripts/worlds.sh [PATTERN]     only the scenarios whose file name contains PATTERN
#
# Runs go WORLDS_JOBS at a time (default 4: a run mostly waits for the robot, which moves in
# real time); each one's trace, picture, report and log land in build/worlds/<scenario>/
# (WORLDS_OUTPUT overrides). Exits non-zero when a goal did not end as its scenario expects or
# an outline touched an obstacle.
set -euo pipefail
"$(dirname "$0")/setup.sh"
source "$(dirname "$0")/workspace.sh"
colcon_build
source_install

pattern=${1:-}
share="$install_base/velmora_sim_worlds/share/velmora_sim_worlds"
params_file="$install_base/velmora_nav2_controller_core/share/velmora_nav2_controller_core/config/velmora_nav2_controller.yaml"
runner="$install_base/velmora_nav2_sim/lib/velmora_nav2_sim/velmora_nav2_sim"
output=$(realpath -m "${WORLDS_OUTPUT:-$build_base/worlds}")
rm -rf "$output"
mkdir -p "$output"

# One run: scenario and map, relative to the share folder.
run_scenario() {
  local scenario=$1 map=$2
  local name
  name=$(basename "$scenario" .yaml)
  mkdir -p "$output/$name"
  if "$runner" "$share/$scenario" --output "$output/$name" --report "$output/$name/report.csv" \
    --ros-args --params-file "$params_file" -p "yaml_filename:=$share/$map" \
    >"$output/$name/log.txt" 2>&1; then
    echo "done   $name"
  else
    echo "FAILED $name (log: $output/$name/log.txt)"
  fi
}
export -f run_scenario
export share params_file runner output

grep -F -- "$pattern" "$share/manifest.tsv" |
  xargs -P "${WORLDS_JOBS:-4}" -L 1 bash -c 'run_scenario "$0" "$1"'

/usr/bin/python3 - "$output" <<'EOF'
import csv
import pathlib
import sys

output = pathlib.Path(sys.argv[1])
rows = []
for report in sorted(output.glob("*/report.csv")):
    with report.open() as lines:
        for row in csv.DictReader(lines):
            row["scenario"] = report.parent.name
            rows.append(row)

header = ("scenario", "goal", "controller", "status", "seconds", "max_path_distance_m", "min_clearance_m")
widths = [max(len(name), *(len(row[name]) for row in rows)) if rows else len(name)
          for name in header]
print()
print("  ".join(name.ljust(width) for name, width in zip(header, widths)))
failures = []
for row in rows:
    print("  ".join(row[name].ljust(width) for name, width in zip(header, widths)))
    if row["status"] != row["expected"]:
        failures.append("%s goal %s: %s, expected %s" % (
            row["scenario"], row["goal"], row["status"], row["expected"]))
    elif row["min_clearance_m"] and float(row["min_clearance_m"]) <= 0.0:
        failures.append("%s goal %s: the outline touched an obstacle" % (
            row["scenario"], row["goal"]))
runs = len(list(output.iterdir()))
reported = len({row["scenario"] for row in rows})
if reported < runs:
    failures.append("%d of %d runs wrote no report" % (runs - reported, runs))
print()
print("%d goals in %d runs, %d as expected" % (len(rows), runs, len(rows) - sum(
    1 for failure in failures if " goal " in failure)))
for failure in failures:
    print("FAILED: " + failure)
sys.exit(1 if failures else 0)
EOF
