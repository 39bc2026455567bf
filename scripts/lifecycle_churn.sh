#!/usr/bin/env bash
# Lifecycle churn: a fresh controller server taken down mid-goal, over and over:
#   scripts/lifecycle_churn.sh [ROUNDS]      (default 1000)
# Builds the suite in build/ (or $BUILD_DIR) first.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" --target test_lifecycle_churn -j "${JOBS:-$(nproc)}"
VELMORA_CHURN_ITERATIONS=${1:-1000} exec "$build_dir/test_lifecycle_churn"
