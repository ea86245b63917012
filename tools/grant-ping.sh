#!/usr/bin/env bash
# Lets the monitor built for `make run` ping without root: grants the executable the raw-socket
# capability through sudo, as the package does on installation. Root needs nothing, nor a user
# whose group net.ipv4.ping_group_range allows ICMP datagram sockets. A new build of the
# executable loses the capability, so it is granted again after each build.
set -uo pipefail
exe=$1
[ "$(id -u)" -eq 0 ] && exit 0
# Outside root's PATH: /usr/sbin.
setcap=$(PATH=$PATH:/usr/sbin:/sbin command -v setcap)
getcap=$(PATH=$PATH:/usr/sbin:/sbin command -v getcap)
if [ -n "$getcap" ] && "$getcap" "$exe" 2>/dev/null | grep -q cap_net_raw; then
    exit 0
fi
read -r low high < /proc/sys/net/ipv4/ping_group_range 2>/dev/null || { low=1; high=0; }
for gid in $(id -G); do
    if [ "$gid" -ge "$low" ] && [ "$gid" -le "$high" ]; then
        exit 0
    fi
done
if command -v sudo >/dev/null && [ -n "$setcap" ]; then
    echo "Granting $exe the capability to ping (cap_net_raw) through sudo:"
    if sudo "$setcap" cap_net_raw+ep "$exe"; then
        exit 0
    fi
fi
echo "note: $exe cannot ping as $(id -un): run 'sudo setcap cap_net_raw+ep $exe'" \
     "or allow your group in net.ipv4.ping_group_range; until then every address reads as down" >&2
exit 0
