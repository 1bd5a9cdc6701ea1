#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given seconds (default 20).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -DKES_FUZZ=ON -DKES_WITH_QT=ON -DKES_BENCH=OFF >/dev/null
cmake --build "$root/build-fuzz" --target fuzzers -j"$(nproc)"
for target in "$root"/build-fuzz/bin/fuzz_*; do
  name=$(basename "$target")
  corpus="$root/build-fuzz/corpus/$name"
  mkdir -p "$corpus"
  # Optional seeds and dictionary: fuzz/corpus/<target>/ and fuzz/corpus/<target>.dict.
  # The build's corpus comes first: libFuzzer writes new inputs only there.
  options=()
  [ -f "$root/fuzz/corpus/$name.dict" ] && options+=("-dict=$root/fuzz/corpus/$name.dict")
  seeds=()
  [ -d "$root/fuzz/corpus/$name" ] && seeds+=("$root/fuzz/corpus/$name")
  echo "fuzzing $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -print_final_stats=1 "${options[@]}" "$corpus" "${seeds[@]}" 2>&1 | tail -n 3
done
