#!/usr/bin/env bash
# Installs what is missing, builds every package and runs every test suite with colcon; exits
# non-zero when a suite fails. Extra arguments go to `colcon test` (e.g. --packages-select X,
# --ctest-args -L storm).
set -euo pipefail
"$(dirname "$0")/setup.sh"
source "$(dirname "$0")/workspace.sh"
colcon_build
colcon_test "$@"
