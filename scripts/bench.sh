#!/usr/bin/env bash
# Builds in release mode and runs the benchmarks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build-bench" -DCMAKE_BUILD_TYPE=Release -DKES_WITH_QT=ON -DKES_BENCH=ON >/dev/null
cmake --build "$root/build-bench" -j"$(nproc)"
# The view's benchmarks need a display; every bench gets the same virtual one.
for b in "$root"/build-bench/bin/bench_*; do
  xvfb-run -a -s "-screen 0 1920x1080x24" "$b" "$@"
done
