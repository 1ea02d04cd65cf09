#!/usr/bin/env bash
# Under a window manager that never activates new windows the main window
# must still hide itself after start-up, and without any window manager too.
source "$(dirname "$0")/lib.sh"

start_desktop 1024x768 "${1:-nofocus}"
install_app
start_app
wait_for 10 bash -c "xdotool search --name '^Form1$' >/dev/null" || fail "the main window was never created"
wait_for 5 not main_window_visible || fail "the main window did not hide without a window manager"
printf 'no@manager' | xclip -selection clipboard
wait_for 10 grep -q 'no@manager' "$APP_DIR/emails.txt" || fail "nothing collected without a window manager"
app_running || fail "the program ended"
echo "start-up with ${1:-nofocus}: all checks passed"
