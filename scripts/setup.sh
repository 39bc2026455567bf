#!/usr/bin/env bash
# Installs the Debian 12 packages the workspace needs, when any is missing: the compilers, the
# libraries, and colcon with ament (Debian's own, on /usr/bin/python3).
set -euo pipefail

packages=(
  g++ make cmake pkg-config python3
  libspdlog-dev libfmt-dev libyaml-cpp-dev libsystemd-dev libtinyxml2-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  colcon python3-colcon-ros python3-colcon-cmake python3-colcon-test-result
  ament-cmake ament-cmake-ros ament-cmake-googletest ament-cmake-pytest python3-ament-package libament-index-cpp-dev
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then
    sudo_cmd=(sudo)
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
