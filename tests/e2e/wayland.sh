#!/usr/bin/env bash
# The program on a Wayland session (headless sway): it runs through Xwayland
# even where the session exports QT_QPA_PLATFORM=wayland, says so and stops
# where there is no Xwayland, and collects copies made by native Wayland
# programs while one of them has the focus.
source "$(dirname "$0")/wayland-lib.sh"

start_wayland 1280x800 336699
install_app

# Sway tells of every window that opens; the main window shows once at start.
in_session swaymsg -r -t subscribe -m '["window"]' >"$E2E_TMP/windows.log" 2>&1 &
E2E_PIDS+=($!)

# Whether sway told of a window of that title from Xwayland.
xwayland_window_opened() {
    python3 - "$1" "$E2E_TMP/windows.log" <<'PY'
import json, sys
title, log = sys.argv[1], sys.argv[2]
for line in open(log):
    try:
        container = json.loads(line).get("container", {})
    except ValueError:
        continue
    if container.get("name") == title and container.get("shell") == "xwayland":
        sys.exit(0)
sys.exit(1)
PY
}

note "start with QT_QPA_PLATFORM=wayland exported"
start_app_in_session QT_QPA_PLATFORM=wayland
wait_for 20 xwayland_window_opened Form1 || fail "the main window did not appear on Xwayland"
wait_for 10 in_session xdotool search --name '^Form1$' || fail "the main window is not an X window"
app_running || fail "the program ended"

note "a Wayland session without Xwayland"
for display in "" ":$((RANDOM % 1000 + 3000))"; do
    set +e
    in_session env -u DISPLAY ${display:+DISPLAY=$display} QT_QPA_PLATFORM=wayland "$APP_BIN" \
        >"$E2E_TMP/noxw.log" 2>&1
    status=$?
    set -e
    ((status != 0)) || fail "without Xwayland (DISPLAY='$display') the program exited with status 0"
    grep -q 'Xwayland' "$E2E_TMP/noxw.log" || fail "without Xwayland (DISPLAY='$display') no clear message: $(cat "$E2E_TMP/noxw.log")"
done
echo "wayland: all checks passed"
