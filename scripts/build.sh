#!/usr/bin/env bash
# Builds and installs every package of the workspace with colcon (build/, install/, log/ at the
# root; see workspace.sh for the overrides). Extra arguments go to `colcon build`.
set -euo pipefail
source "$(dirname "$0")/workspace.sh"
colcon_build "$@"
