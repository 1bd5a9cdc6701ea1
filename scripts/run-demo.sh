#!/usr/bin/env bash
# Installs what is missing, builds, and runs the viewer against the lidar simulator the way
# a lidar is met on a network: the simulator at 192.168.1.100 announces itself over mDNS and
# the viewer finds it. Both run in a private user and network namespace (no root needed),
# where that address lives on the namespace's own loopback; the viewer still reaches the X
# display and the sound server through their socket files. Where the kernel refuses such a
# namespace, or the display is reached over TCP, the simulator runs on 127.0.0.1 instead
# and the address is typed by hand.
# Closing the viewer stops the simulator. Without a display the viewer runs under a virtual
# one (nothing to see then; Ctrl+C ends it).
#   --no-build   use what is built     --bin DIR   take the programs from DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin="$root/build/bin"
build=1
inside=0
while [ $# -gt 0 ]; do
  case "$1" in
    --no-build) build=0 ;;
    --bin) bin=$(cd "$2" && pwd); shift ;;
    --inside) inside=1 ;;
    *) echo "usage: $0 [--no-build] [--bin DIR]" >&2; exit 64 ;;
  esac
  shift
done
address=192.168.1.100

# Runs the simulator at $1 until the viewer closes; extra arguments go to the simulator.
run() {
  local at=$1
  shift
  "$bin/kestra-sim" --bind "$at" --port 2007 --device-ip "$at" "$@" &
  sim=$!
  trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT INT TERM
  for _ in $(seq 50); do
    ss -lun 2>/dev/null | grep -q "$at:2007 " && break
    kill -0 "$sim" 2>/dev/null || { echo "kestra-sim did not start (is port 2007 in use?)" >&2; exit 1; }
    sleep 0.1
  done
  if [ -n "${DISPLAY:-}" ]; then
    "$bin/kestra-viewer"
  else
    echo "no DISPLAY: running the viewer under Xvfb"
    xvfb-run -a -s "-screen 0 1920x1080x24" "$bin/kestra-viewer"
  fi
}

if [ "$inside" = 1 ]; then
  # Multicast on the loopback, routed as the mDNS layer needs it to join the group.
  ip link set lo up
  ip link set lo multicast on
  ip addr add "$address/32" dev lo
  ip route add 224.0.0.0/4 dev lo src 127.0.0.1
  echo "simulator at $address:2007: wait until the address appears in the IP field, then press connect"
  run "$address" --announce
  exit
fi

[ "$build" = 0 ] || bash "$root/scripts/build.sh"
# A display reached over TCP (ssh -X) is out of the namespace's reach; a socket file is not.
why="unshare -rn refused"
case "${DISPLAY:-:}" in
  :* | unix:*) unshare -rn true 2>/dev/null && exec unshare -rn "$root/scripts/run-demo.sh" --inside --bin "$bin" ;;
  *) why="the display $DISPLAY is reached over the network" ;;
esac
echo "no private network namespace for the demo ($why): simulator on 127.0.0.1:2007; press connect, confirm the box, type 127.0.0.1, press connect"
run 127.0.0.1
