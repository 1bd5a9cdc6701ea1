#!/usr/bin/env bash
# The SDK tests under AddressSanitizer + UndefinedBehaviorSanitizer, and the concurrency
# tests under ThreadSanitizer, each in a build directory of its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

# Builds only the executables of the tests that carry `label` (test names are target names).
build_label() {
  local dir=$1 label=$2
  local targets
  targets=$(ctest --test-dir "$dir" -N -L "$label" | sed -n 's/^ *Test *#[0-9]*: //p')
  cmake --build "$dir" -j"$jobs" --target $targets
}

cmake -S "$root" -B "$root/build-asan" -DKES_WITH_QT=OFF -DKES_BENCH=OFF \
  -DKES_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug >/dev/null
build_label "$root/build-asan" sdk
KES_TEST_TIME_SCALE=4 ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$root/build-asan" -L sdk --output-on-failure

cmake -S "$root" -B "$root/build-tsan" -DKES_WITH_QT=ON -DKES_BENCH=OFF \
  -DKES_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug >/dev/null
build_label "$root/build-tsan" concurrency
KES_TEST_TIME_SCALE=4 TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir "$root/build-tsan" -L concurrency --output-on-failure
