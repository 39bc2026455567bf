#!/usr/bin/env bash
# Builds the whole standalone tree under a sanitizer in its own build directory and runs every
# test suite under it:
#   scripts/sanitize.sh address   # AddressSanitizer + UndefinedBehaviorSanitizer, build_asan/
#   scripts/sanitize.sh thread    # ThreadSanitizer, build_tsan/
# Any report fails the run. BUILD_DIR overrides the directory, JOBS the build parallelism, and
# extra arguments go to ctest (for example -R or -L).
set -euo pipefail
cd "$(dirname "$0")/.."

kind=${1:-}
shift || true
case "$kind" in
  address)
    flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
    build_dir=${BUILD_DIR:-build_asan}
    # Leak checking stays on; a report stops the test at once so that its output is the first
    # thing to read.
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    ;;
  thread)
    flags="-fsanitize=thread -fno-omit-frame-pointer"
    build_dir=${BUILD_DIR:-build_tsan}
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
    ;;
  *)
    echo "usage: scripts/sanitize.sh address|thread [ctest arguments...]" >&2
    exit 2
    ;;
esac

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
  -DCMAKE_SHARED_LINKER_FLAGS="$flags"
cmake --build "$build_dir" -j "${JOBS:-$(nproc)}"
ctest --test-dir "$build_dir" --output-on-failure -j "${JOBS:-$(nproc)}" "$@"
