#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given seconds (default 20).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -DKES_FUZZ=ON -DKES_BENCH=OFF >/dev/null
cmake --build "$root/build-fuzz" --target fuzzers -j"$(nproc)"
for target in "$root"/build-fuzz/bin/fuzz_*; do
  name=$(basename "$target")
  corpus="$root/build-fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds="$root/fuzz/corpus/$name"
  [ -d "$seeds" ] || seeds=""
  echo "fuzzing $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus" $seeds 2>&1 | tail -n 3
done
