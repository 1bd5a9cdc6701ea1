#!/usr/bin/env bash
# Builds in release mode and runs the benchmarks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build-bench" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build-bench" -j"$(nproc)"
for b in "$root"/build-bench/bin/bench_*; do
  "$b" "$@"
done
