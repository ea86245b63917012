# The Debian package: built by CPack, installed on this machine, run from the installed files (by
# root, and by a user of our own who pings through the capability the package grants and keeps
# his files in his own data folder), and removed again.
source "$(dirname "$0")/common.sh"
need_root "installs the package on this machine"
command -v dpkg-shlibdeps >/dev/null || skip "dpkg-dev is not installed"
if dpkg-query -W -f='${Status}' tarnwicker 2>/dev/null | grep -q 'install ok installed'; then
    skip "a tarnwicker package is installed already; it is left alone"
fi

(cd "$build_dir" && cpack -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack"; }
deb=$(ls "$work"/pkg/tarnwicker_*.deb)
dpkg-deb -f "$deb" Depends > "$work/depends"
expect_contains "$work/depends" "libqt6core6"
expect_contains "$work/depends" "libqt6widgets6"
expect_contains "$work/depends" "libc6"
expect_contains "$work/depends" "librrd8"
expect_contains "$work/depends" "libprometheus-cpp-core"
expect_contains "$work/depends" "libcivetweb1"
# The metrics need no package beyond the libraries they link.
dpkg-deb -f "$deb" Recommends > "$work/recommends"
expect_lacks "$work/recommends" "prometheus"

# dpkg waits for nobody: retry while another installation holds its lock.
dpkg_locked() { for _ in $(seq 60); do "$@" && return 0; sleep 2; done; return 1; }
cleanups+=("dpkg --purge tarnwicker >/dev/null 2>&1")
dpkg_locked dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg -i"; }

exe=/usr/bin/tarnwicker
getcap "$exe" | grep -q cap_net_raw || fail "postinst did not grant cap_net_raw: $(getcap "$exe")"
[ ! -e /etc/systemd/system/multi-user.target.wants/tarnwicker.service ] || fail "the service got enabled"
"$exe" --version | grep -qx "tarnwicker [0-9.]*" || fail "--version"
if command -v systemd-analyze >/dev/null; then
    systemd-analyze verify --man=no /usr/lib/systemd/system/tarnwicker.service || fail "systemd-analyze verify"
fi

# One headless cycle as root, on a folder of its own.
mkdir "$work/root-data"
printf '127.0.0.1:\xb1\xbe\xb5\xd8\r\n' > "$work/root-data/Ip.txt"
write_settings "$work/root-data"
timeout 60 "$exe" --headless --cycles 1 --data-dir "$work/root-data" >"$work/root.out" 2>"$work/root.err" ||
    fail "root cycle ended with $?"
expect_contains "$work/root.out" "Ping结束。"
expect_contains "$work/root.out" "127.0.0.1:本地网络正常！网络质量：100%"
ls "$work"/root-data/log*.txt >/dev/null || fail "no log file"
# The package's own alarm sound, copied into the folder that had none.
cmp -s /usr/share/tarnwicker/alarm.wav "$work/root-data/alarm.wav" || fail "the folder did not get the package's alarm.wav"
ls "$work"/root-data/history/127.0.0.1%3A*.rrd >/dev/null || fail "no history file"

# As a user without privilege, with no --data-dir: the executable's folder is the package's, so
# the files go to his own data folder, seeded with the local address; the capability lets him ping.
make_user
make_netns
as_user timeout 60 "$exe" --headless --cycles 1 >"$work/user.out" 2>"$work/user.err" || {
    cat "$work/user.err" >&2
    fail "user cycle ended with $?"
}
folder=$work/home/.local/share/tarnwicker
head -n 1 "$work/user.out" > "$work/first"
expect_contains "$work/first" "使用数据文件夹：$folder"
[ -f "$folder/Ip.txt" ] || fail "no address list in $folder"
printf '127.0.0.1:\xb1\xbe\xb5\xd8\xb5\xd8\xd6\xb7\r\n' | cmp -s - "$folder/Ip.txt" || fail "seeded Ip.txt differs"
cmp -s /usr/share/tarnwicker/alarm.wav "$folder/alarm.wav" || fail "the user's folder did not get the package's alarm.wav"
ls "$folder"/log*.txt >/dev/null || fail "no log file in $folder"
expect_lacks "$work/user.err" "无法打开ICMP套接字"
expect_lacks "$work/user.out" "网络不通"
# Started again with every verdict shown: the seeded address answers.
write_settings "$folder"
chown "$user:" "$folder/Para.ini"
as_user timeout 60 "$exe" --headless --cycles 1 >"$work/user.out" 2>"$work/user.err" || fail "second user cycle"
expect_contains "$work/user.out" "127.0.0.1:本地地址网络正常！网络质量：100%"

dpkg_locked dpkg --purge tarnwicker >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg --purge"; }
[ ! -e "$exe" ] || fail "$exe left after removal"
echo "package: ok"
