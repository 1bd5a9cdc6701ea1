#!/usr/bin/env bash
# Makes docs/viewer.png: under a virtual display, the viewer connected the README's way to
# the simulator on 127.0.0.1:2007, with the live cloud on screen. Runs in a private
# loopback-only network where it can, so a running demo's port is not in the way.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh"
mkdir -p "$root/docs"
"$root/tests/window/loopback_only.sh" bash -c '
  set -euo pipefail
  bin=$1
  "$bin/kestra-sim" --bind 127.0.0.1 --port 2007 &
  sim=$!
  trap "kill $sim 2>/dev/null; wait $sim 2>/dev/null || true" EXIT
  for _ in $(seq 50); do
    ss -lun | grep -q "127.0.0.1:2007 " && break
    sleep 0.1
  done
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1920x1080x24" "$bin/window_readme_shot" "$2"
' _ "$root/build/bin" "$root/docs/viewer.png"
echo "wrote docs/viewer.png"
