#!/usr/bin/env bash
# Installs what is missing, builds, starts the lidar simulator on 127.0.0.1:2007 and opens
# the viewer; the simulator stops when the viewer closes. Without a display the viewer runs
# under a virtual one (nothing to see then; Ctrl+C ends it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh"
bin="$root/build/bin"

# The simulated device reports the address it is reached at, as a real one would.
"$bin/kestra-sim" --bind 127.0.0.1 --port 2007 --device-ip 127.0.0.1 &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT INT TERM
for _ in $(seq 50); do
  ss -lun 2>/dev/null | grep -q '127.0.0.1:2007 ' && break
  kill -0 "$sim" 2>/dev/null || { echo "kestra-sim did not start (is port 2007 in use?)" >&2; exit 1; }
  sleep 0.1
done

echo "simulator on 127.0.0.1:2007: press connect, confirm the box, type 127.0.0.1, press connect"
if [ -n "${DISPLAY:-}" ]; then
  "$bin/kestra-viewer"
else
  echo "no DISPLAY: running the viewer under Xvfb"
  xvfb-run -a -s "-screen 0 1920x1080x24" "$bin/kestra-viewer"
fi
