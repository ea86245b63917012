# The install tree, file by file, as `make install` lays it out under a DESTDIR; the desktop
# entry and the service unit checked with the tools the desktop and systemd use themselves.
source "$(dirname "$0")/common.sh"

dest=$work/dest
DESTDIR=$dest cmake --install "$build_dir" --prefix /usr/local >/dev/null
(cd "$dest" && find . -type f -o -type l | sort) > "$work/files"
cat > "$work/expected" <<'LIST'
./usr/local/bin/tarnwicker
./usr/local/lib/systemd/system/tarnwicker.service
./usr/local/share/applications/tarnwicker.desktop
./usr/local/share/icons/hicolor/scalable/apps/tarnwicker.svg
./usr/local/share/tarnwicker/alarm.wav
LIST
diff -u "$work/expected" "$work/files" || fail "install tree differs"
[ -x "$dest/usr/local/bin/tarnwicker" ] || fail "executable not executable"
"$dest/usr/local/bin/tarnwicker" --version | grep -qx "tarnwicker [0-9.]*" || fail "--version"

desktop=$dest/usr/local/share/applications/tarnwicker.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
expect_contains "$desktop" "Name=Tarnwicker网络检测员"
expect_contains "$desktop" "Categories=Network;Monitor;"
expect_contains "$desktop" "Icon=tarnwicker"
python3 -c 'import sys, xml.dom.minidom as m; m.parse(sys.argv[1])' \
    "$dest/usr/local/share/icons/hicolor/scalable/apps/tarnwicker.svg" || fail "icon is no SVG"

unit=$dest/usr/local/lib/systemd/system/tarnwicker.service
expect_contains "$unit" "ExecStart=/usr/local/bin/tarnwicker --headless --data-dir /var/lib/tarnwicker"
expect_contains "$unit" "StateDirectory=tarnwicker"
expect_contains "$unit" "AmbientCapabilities=CAP_NET_RAW"
expect_contains "$unit" "CapabilityBoundingSet=CAP_NET_RAW"
expect_contains "$unit" "Restart=on-failure"
# Installed under a prefix that exists, so that systemd finds the command the unit names.
if command -v systemd-analyze >/dev/null; then
    cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
    grep -q "^ExecStart=$work/prefix/bin/tarnwicker " "$work/prefix/lib/systemd/system/tarnwicker.service" ||
        fail "unit does not follow the prefix"
    systemd-analyze verify --man=no "$work/prefix/lib/systemd/system/tarnwicker.service" 2> "$work/verify" ||
        { cat "$work/verify" >&2; fail "systemd-analyze verify"; }
    [ ! -s "$work/verify" ] || { cat "$work/verify" >&2; fail "systemd-analyze verify warns"; }
else
    echo "note: no systemd-analyze here; the unit is not verified"
fi
echo "install tree: ok"
