# What the scripts share (sourced, not run): where the workspace builds and installs, and colcon
# called the same way every time. BUILD_BASE, INSTALL_BASE and LOG_BASE override the folders
# (default build/, install/, log/ at the root), JOBS the parallelism, CMAKE_EXTRA_ARGS adds CMake
# arguments (an array).
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build_base=${BUILD_BASE:-build}
install_base=${INSTALL_BASE:-install}
log_base=${LOG_BASE:-log}
jobs=${JOBS:-$(nproc)}
# ament runs Python while it configures a package and needs Debian's interpreter, which has
# ament_package; another python3 may come first on PATH (pyenv, a virtualenv).
cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DPython3_EXECUTABLE=/usr/bin/python3
  ${CMAKE_EXTRA_ARGS[@]+"${CMAKE_EXTRA_ARGS[@]}"})

# colcon_build [colcon build arguments...]
colcon_build() {
  MAKEFLAGS="-j$jobs" colcon --log-base "$log_base" build \
    --build-base "$build_base" --install-base "$install_base" \
    --parallel-workers "$jobs" --event-handlers console_cohesion+ \
    --cmake-args "${cmake_args[@]}" "$@"
}

# colcon_test [colcon test arguments...]: runs the suites, prints every failure, and fails when
# one did.
colcon_test() {
  local status=0
  colcon --log-base "$log_base" test --build-base "$build_base" --install-base "$install_base" \
    --parallel-workers "$jobs" --return-code-on-test-failure \
    --event-handlers console_cohesion+ "$@" || status=$?
  colcon test-result --test-result-base "$build_base" --verbose || status=$?
  return "$status"
}

# Makes the installed packages visible: libraries, the ament index, executables.
source_install() {
  set +u
  # shellcheck disable=SC1091
  source "$install_base/setup.bash"
  set -u
}

# run_benchmark PREFIX BINARY [ARGUMENTS...]: runs one Google Benchmark program and prints one
# line per figure, "PREFIX/benchmark: mean, p50/p99/max where the program measures them"
# (milliseconds); prints nothing when the arguments filter out all its benchmarks.
run_benchmark() {
  local prefix=$1 binary=$2
  shift 2
  local report
  report=$(mktemp)
  SPDLOG_STDOUT=false SPDLOG_SYSTEMD=false SPDLOG_LEVEL=info "$binary" \
    --benchmark_out="$report" --benchmark_out_format=json "$@" </dev/null >/dev/null 2>&1
  if [[ -s $report ]]; then
    /usr/bin/python3 -c '
import json, sys
prefix = sys.argv[1]
report = json.load(open(sys.argv[2]))
for run in report["benchmarks"]:
    figures = ["%.4g %s/op" % (run["real_time"], run["time_unit"])]
    figures += ["%s %.4g" % (key, run[key]) for key in ("p50_ms", "p99_ms", "max_ms") if key in run]
    print("%s/%s: %s" % (prefix, run["name"], ", ".join(figures)))
' "$prefix" "$report"
  fi
  rm -f "$report"
}
