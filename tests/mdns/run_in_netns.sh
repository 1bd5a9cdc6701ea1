#!/bin/sh
# Runs a test program in a private network namespace whose loopback carries multicast, so a
# real mDNS socket can be exercised without touching the host's networks.
# Exits 77 (skipped) where namespaces cannot be created.
if [ "$(id -u)" != 0 ] || ! unshare -n true 2>/dev/null; then
    echo "SKIP: cannot create a network namespace here (needs root)"
    exit 77
fi
exec unshare -n sh -c '
    ip link set lo up &&
    ip link set lo multicast on &&
    ip route add 224.0.0.0/4 dev lo src 127.0.0.1 &&
    exec "$0" "$@"' "$@"
