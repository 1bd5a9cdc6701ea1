#!/bin/bash
# Discovery against a real responder: avahi-daemon in one network namespace announces three
# services, the probe (our Server, Browser and Resolver) runs in another; a veth pair joins
# them. Addresses, daemon files and namespaces exist only for the run and are removed on exit.
# Usage: avahi_discovery.sh MDNS_TEST, whose AvahiProbe case is the probe. Exits 77 (skipped)
# where this cannot be set up.
set -u
probe=$1

skip() {
    echo "SKIP: $*"
    exit 77
}

[ "$(id -u)" = 0 ] || skip "creating network namespaces needs root"
command -v avahi-daemon >/dev/null || skip "avahi-daemon is not installed"
command -v ip >/dev/null || skip "iproute2 is not installed"

run_id=$$
responder_ns=kes-mdns-r$run_id
client_ns=kes-mdns-c$run_id
responder_if=kmr$run_id
client_if=kmc$run_id
responder_ip=192.168.77.57
client_ip=192.168.77.1
far_ip=198.51.100.7
work=$(mktemp -d)
daemon_pid=

cleanup() {
    if [ -n "$daemon_pid" ]; then
        kill "$daemon_pid" 2>/dev/null
        wait "$daemon_pid" 2>/dev/null
    fi
    ip netns del "$responder_ns" 2>/dev/null
    ip netns del "$client_ns" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

ip netns add "$responder_ns" || skip "cannot create a network namespace"
ip netns add "$client_ns" || skip "cannot create a network namespace"

set -e
ip link add "$responder_if" netns "$responder_ns" type veth peer name "$client_if" netns "$client_ns"
setup_side() {  # namespace interface address
    ip -n "$1" link set lo up
    ip -n "$1" addr add "$3/24" dev "$2"
    ip -n "$1" link set "$2" up
    ip -n "$1" route add 224.0.0.0/4 dev "$2"
}
setup_side "$responder_ns" "$responder_if" "$responder_ip"
setup_side "$client_ns" "$client_if" "$client_ip"

mkdir -p "$work/avahi/services"
cat > "$work/avahi/avahi-daemon.conf" <<CONF
[server]
host-name=kes-lidar-$run_id
use-ipv4=yes
use-ipv6=no
allow-interfaces=$responder_if
enable-dbus=no
ratelimit-interval-usec=1000000
ratelimit-burst=1000
[publish]
publish-addresses=yes
publish-workstation=no
publish-hinfo=no
publish-domain=no
[wide-area]
enable-wide-area=no
[reflector]
enable-reflector=no
CONF
echo "$far_ip kes-far-$run_id.local" > "$work/avahi/hosts"
write_service() {  # file name port [host]
    {
        echo '<?xml version="1.0" standalone="no"?>'
        echo "<service-group><name>$2</name><service><type>_udp._udp</type><port>$3</port>"
        [ $# -lt 4 ] || echo "<host-name>$4</host-name>"
        echo '</service></service-group>'
    } > "$work/avahi/services/$1.service"
}
write_service near "kes-lidar-a-$run_id" 2007
write_service second "kes-lidar-b-$run_id" 2008
write_service far "kes-lidar-far-$run_id" 2009 "kes-far-$run_id.local"

# The daemon's service and runtime paths are fixed, so it gets private ones in its own
# mount namespace.
ip netns exec "$responder_ns" unshare -m --propagation private sh -c '
    mount -t tmpfs tmpfs /run && mkdir -p /run/avahi-daemon &&
    mount --bind "$0/avahi" /etc/avahi &&
    exec avahi-daemon -f /etc/avahi/avahi-daemon.conf --no-drop-root --no-chroot \
        --no-rlimits --no-proc-title' "$work" > "$work/daemon.log" 2>&1 &
daemon_pid=$!
set +e

for _ in $(seq 50); do
    [ "$(grep -c 'successfully established' "$work/daemon.log")" -ge 3 ] && break
    kill -0 "$daemon_pid" 2>/dev/null || break
    sleep 0.1
done
if [ "$(grep -c 'successfully established' "$work/daemon.log")" -lt 3 ]; then
    echo "avahi-daemon did not announce the services:"
    cat "$work/daemon.log"
    exit 1
fi

KES_PROBE_SERVICES="2007=$responder_ip 2008=$responder_ip 2009=$far_ip" \
    ip netns exec "$client_ns" "$probe" --gtest_filter='AvahiProbe.*'
status=$?
[ $status = 0 ] || cat "$work/daemon.log"
exit $status
