#!/usr/bin/env bash
# Makes docs/stats.png: kestra-cli stats over 50 revolutions (five seconds) of the simulator's room at 5 mm
# of range noise, as the README shows it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh" >/dev/null
mkdir -p "$root/docs"
said=$(mktemp)
# A free port on loopback, so a lidar or another simulator on 2007 is left alone.
"$root/build/bin/kestra-sim" --port 0 --noise-mm 5 --seed 1 >"$said" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; rm -f "$said"' EXIT
port=
for _ in $(seq 50); do
  port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$said")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "kestra-sim did not start" >&2; exit 1; }
"$root/build/bin/kestra-cli" stats --ip 127.0.0.1 --port "$port" --revolutions 50 \
  --out /dev/null --plot "$root/docs/stats.png"
echo "wrote docs/stats.png"
