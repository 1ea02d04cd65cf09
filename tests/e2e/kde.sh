#!/usr/bin/env bash
# The program on KDE's own desktop as Debian 12 ships it, installed from its
# package, on a fresh account: KWin 5.27 (virtual output, Xwayland), kded5
# as the panel's StatusNotifierWatcher, xdg-desktop-portal-kde for the
# screenshots. The item registers at every start, also when the watcher
# appears after the program; the panel's ContextMenu opens the styled menu,
# whose keys toggle collection and end the program through the confirmation;
# native copies are collected through data control and a secret one is not;
# the first capture on an account without a pictures folder works, F3 reads a
# native window's colour, F5 shows the save dialog with the focus.
#
# Plasma's panel is not run: the panel's requests are sent over D-Bus, as a
# panel sends them on a click.
source "$(dirname "$0")/desktop-lib.sh"

enter_chroot
start_kde 1280x800
NATIVE=40c080
start_colour_window "$NATIVE" native

note "the item registers at every start"
for start in 1 2 3; do
    expect_start_registers "start $start" no
    note "ok: start $start: registered as $item_service$item_path, no exported menu"
    expect_item_gone_after_stop "start $start"
done

note "a start before the watcher appears"
kded=$(name_owner_pid org.kde.StatusNotifierWatcher)
kill "$kded"
wait_for 10 not bus_has_name org.kde.StatusNotifierWatcher || fail "kded5's watcher stayed after kded5 ended"
start_app
sleep 2
app_running || fail "the program ended without a watcher: $(cat "$E2E_TMP/app.log")"
in_session QT_QPA_PLATFORM=wayland kded5 >>"$E2E_TMP/kded5.log" 2>&1 &
wait_for 30 bus_has_name org.kde.StatusNotifierWatcher || fail "kded5 did not come back"
wait_for_registered_item "once the watcher appeared"
note "ok: the item registers once the watcher appears"

note "the first capture on a fresh account"
[[ ! -e $CH$USER_HOME/Pictures ]] || fail "the account has a pictures folder before the first capture"
open_tools "the first capture"
expect_colour_at 300 300 "#${NATIVE^^}" "F3 over the native window gives its colour, at the first capture"
[[ -d $CH$USER_HOME/Pictures ]] || fail "the pictures folder was not made"
left=$(pictures_left)
[[ -z $left ]] || fail "the capture left pictures: $left"
note "ok: no picture left behind"

note "F5's save dialog"
open_tools "the second capture"
check_save_dialog "F5"

note "the spacing ruler and the colour as rgb()"
check_ruler_and_rgb

note "the styled menu"
open_menu() {
    panel_calls ContextMenu "$1" "$2"
    wait_for 20 menu_open || fail "ContextMenu($1, $2) opened no menu"
    local mx my mw mh
    read -r mx my mw mh <<<"$(menu_geometry)"
    ((mx >= 0 && my >= 0 && mx + mw <= SESSION_WIDTH && my + mh <= SESSION_HEIGHT)) ||
        fail "the menu for ($1, $2) at $mx,$my ${mw}x$mh leaves the output"
}
press_in_menu() {
    x11 xdotool key "$1"
    wait_for 10 not menu_open || fail "the key $1 did not close the menu"
}
open_menu 600 300
note "ok: ContextMenu opens the styled menu"
press_in_menu Escape
open_menu 1275 10
press_in_menu e
wl_copy 'off not@collected'
wait_for 10 selection_is 'off not@collected' || fail "the copy did not become the selection"
open_menu 600 300
press_in_menu e
check_copies ""
note "ok: E turns collection off and on again"

note "Exit asks, Yes ends the program"
open_menu 600 300
press_in_menu x
wait_for 10 confirm_box_visible || fail "X did not open the confirmation"
expect_yes_ends_program
echo "KDE: all checks passed"
