# Helpers of the install tests. Exit status 77 marks a test as skipped.
set -euo pipefail

build_dir=$1
source_dir=$2
work=$(mktemp -d /tmp/tw-install.XXXXXX)
chmod 755 "$work"
cleanups=()
cleanup() {
    local i
    for ((i = ${#cleanups[@]} - 1; i >= 0; i--)); do eval "${cleanups[$i]}" || true; done
    rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }
need_root() { [ "$(id -u)" -eq 0 ] || skip "needs root: $1"; }

expect_contains() { # file text
    grep -qF -- "$2" "$1" || { echo "--- $1:" >&2; cat "$1" >&2; fail "$1 lacks: $2"; }
}
expect_lacks() {
    ! grep -qF -- "$2" "$1" || { echo "--- $1:" >&2; cat "$1" >&2; fail "$1 holds: $2"; }
}

# A user of our own, without any privilege, with a home under $work; removed at the end.
make_user() {
    user=twi$$
    useradd --no-create-home --home-dir "$work/home" --shell /usr/sbin/nologin "$user"
    cleanups+=("userdel $user")
    mkdir -p "$work/home"
    chown "$user:" "$work/home"
}

# A network namespace of our own with its loopback up: ICMP datagram sockets start there
# forbidden to every group (net.ipv4.ping_group_range "1 0"), whatever the host allows.
make_netns() {
    netns=twi$$
    ip netns add "$netns"
    cleanups+=("ip netns delete $netns")
    ip netns exec "$netns" ip link set lo up
    ip netns exec "$netns" sh -c 'echo "1 0" > /proc/sys/net/ipv4/ping_group_range'
}

# Runs a command as that user in that namespace with a clean environment.
as_user() {
    ip netns exec "$netns" runuser -u "$user" -- env -i HOME="$work/home" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"
}

# A Para.ini that shows the verdict of every address, pings once per address and takes any free
# alarm port (tests run side by side).
write_settings() { # folder [extra lines]
    printf '[PingPara]\r\nIgNormal=0\r\nPingCount=1\r\n%s[NetPara]\r\nRecPort=0\r\n' "${2:-}" > "$1/Para.ini"
}
