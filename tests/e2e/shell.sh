#!/usr/bin/env bash
# The tray shell end to end: the icon in a real tray host, the styled menu
# opened with the mouse, its commands chosen with their mnemonics, the exit
# confirmation, and the icon coming back when the tray host restarts.
source "$(dirname "$0")/lib.sh"

start_desktop 1280x800 tray
xsetroot -solid '#204080'
install_app
start_app

wait_for 10 tray_icon_geometry || fail "the icon never docked into the tray"
wait_for 5 bash -c "! xdotool search --onlyvisible --name '^Form1$'" || fail "the main window stayed visible"
has_tooltip() {
    local tree
    tree=$(window_tree) || return 1
    [[ $tree == *'"Press right click to open menu": ("vornik-tools"'* ]]
}
wait_for 5 has_tooltip || fail "the icon has no tooltip text"
note "ok: the icon is in the tray with its tooltip, the main window hid itself"

# The menu opens at the pointer with its frame and the checked item's box.
open_tray_menu
read -r mx my mw mh <<<"$(menu_geometry)"
read -r ix iy iw ih <<<"$(tray_icon_geometry)"
((mx + mw <= 1280 && my >= 0 && my <= iy + ih + 5)) || fail "menu at $mx,$my ${mw}x$mh is not at the pointer"
expect_pixel $((mx + 1)) $((my + mh / 2)) 947C7C "the menu's outer frame line"
expect_pixel $((mx + 2)) $((my + mh / 2)) FDFAFF "the frame line inside it, in the background colour"
wait_for 3 area_has_colour "$mx" "$my" 30 28 FFC06F || fail "the checked item shows no check box"
note "ok: right click opens the styled menu at the pointer"

# E switches collection off: a copy collects nothing; the box is gone on the next opening.
xdotool key e
wait_for 5 not menu_geometry || fail "the menu stayed open after E"

printf 'off@switch' | xclip -selection clipboard
sleep 1
[[ ! -s "$APP_DIR/emails.txt" ]] || fail "collected while switched off: $(cat "$APP_DIR/emails.txt")"
open_tray_menu
read -r mx my mw mh <<<"$(menu_geometry)"
expect_pixel $((mx + 1)) $((my + mh / 2)) 947C7C "the menu's frame at the second opening"
! area_has_colour "$mx" "$my" 30 28 FFC06F || fail "the check box is still shown"
xdotool key e
sleep 0.5
printf 'on@switch' | xclip -selection clipboard
wait_for 5 grep -q 'on@switch' "$APP_DIR/emails.txt" || fail "collection did not come back on"
note "ok: E toggles collection and its check mark"

# The tray host restarts: the icon registers again.
kill "$TRAY_PID"
wait_for 5 tray_panel_gone || fail "trayer did not stop"
start_tray
wait_for 10 tray_icon_geometry || fail "the icon did not come back after the tray host restarted"
note "ok: the icon comes back when the tray host restarts"

# Exit asks first; Escape and No leave the program running.
confirm_box() { xdotool search --onlyvisible --name '^Confirm$' >/dev/null 2>&1; }
for answer in Escape alt+n; do
    open_tray_menu
    xdotool key x
    wait_for 5 confirm_box || fail "Exit did not ask \"Are you sure?\""
    # The question is a window of the program too; it is no menu.
    not menu_geometry || fail "the confirmation box is taken for the menu: $(menu_geometry)"
    sleep 0.3
    xdotool key "$answer"
    wait_for 5 bash -c "! xdotool search --onlyvisible --name '^Confirm$'" || fail "the question stayed open after $answer"
    sleep 0.5
    app_running || fail "the program ended on $answer"
    tray_icon_geometry >/dev/null || fail "the icon left the tray on $answer"
done
note "ok: Escape and No keep the program running"

open_tray_menu
xdotool key x
wait_for 5 confirm_box || fail "Exit did not ask the second time"
sleep 0.3
xdotool key Return
wait_for 10 bash -c "! kill -0 $APP_PID" || fail "Yes did not end the program"
wait_for 5 not tray_icon_geometry || fail "the icon stayed in the tray"
note "ok: Yes ends the program and the icon leaves the tray"
echo "tray shell end to end: all checks passed"
