# The monitor as a user who may not ping (no capability, no group that ICMP datagram sockets
# allow): one line at start-up, in the pane and on standard error, says why and what helps, and the
# address reads as down as usual. Start at login gives that user his own autostart entry. Run as
# the service runs it, with CAP_NET_RAW as its one capability, it pings.
source "$(dirname "$0")/common.sh"
need_root "makes a user and a network namespace of its own"
exe=$build_dir/tarnwicker
make_user
make_netns
data=$work/data
mkdir "$data"
printf '127.0.0.1:\xb1\xbe\xb5\xd8\r\n' > "$data/Ip.txt"
write_settings "$data" $'AutoRun=1\r\n'
chown -R "$user:" "$data"

as_user timeout 60 "$exe" --headless --cycles 1 --data-dir "$data" >"$work/out" 2>"$work/err" ||
    fail "cycle ended with $?"
# The reason is the system's, in Chinese as Qt's own catalogue gives it.
notice="无法打开ICMP套接字（权限被拒绝）"
expect_contains "$work/err" "$notice"
expect_contains "$work/err" "sudo setcap cap_net_raw+ep '$(realpath "$exe")'"
expect_contains "$work/err" "net.ipv4.ping_group_range"
head -n 1 "$work/out" > "$work/first"
expect_contains "$work/first" "$notice"
[ "$(grep -cF "$notice" "$work/out")" -eq 1 ] || fail "the notice is not said once"
expect_contains "$work/out" "127.0.0.1:本地网络不通！！！"

entry=$work/home/.config/autostart/tarnwicker.desktop
[ -f "$entry" ] || fail "no per-user autostart entry"
expect_contains "$entry" "Exec=\"$(realpath "$exe")\" --data-dir \"$data\""
expect_lacks "$work/out" "访问注册表时出错！"
echo "non-root: ok"

# As the service runs it: a user whose one capability is CAP_NET_RAW, ambient, with no home.
write_settings "$data"
ip netns exec "$netns" setpriv --reuid="$user" --regid="$(id -g "$user")" --clear-groups \
    --inh-caps=+net_raw --ambient-caps=+net_raw --bounding-set=-all,+net_raw \
    env -i HOME=/ PATH=/usr/bin:/bin timeout 60 "$exe" --headless --cycles 1 --data-dir "$data" \
    >"$work/out" 2>"$work/err" || fail "service-like cycle ended with $?"
expect_contains "$work/out" "127.0.0.1:本地网络正常！网络质量：100%"
[ ! -s "$work/err" ] || { cat "$work/err" >&2; fail "standard error holds more than message boxes"; }
echo "as the service: ok"
