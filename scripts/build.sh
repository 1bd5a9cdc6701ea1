#!/usr/bin/env bash
# Installs what is missing and builds everything into build/ (executables in build/bin/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKES_WITH_QT=ON -DKES_BENCH=OFF >/dev/null
cmake --build "$root/build" -j"$(nproc)"
