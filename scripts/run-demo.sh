#!/usr/bin/env bash
# Installs what is missing, builds, starts the lidar simulator on 127.0.0.1:2007 and
# connects the service tool to it, which prints what the stream delivers. Ctrl+C stops both.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh"
bin="$root/build/bin"

"$bin/kestra-sim" --bind 127.0.0.1 --port 2007 --verbose &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT INT TERM
sleep 0.3
kill -0 "$sim" 2>/dev/null || { echo "kestra-sim did not start (is port 2007 in use?)" >&2; exit 1; }
"$bin/kestra-cli" watch --ip 127.0.0.1 --port 2007 "$@"
