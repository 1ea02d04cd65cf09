#!/usr/bin/env bash
# The program on GNOME as Debian 12 ships it, installed from its package, on
# a fresh account: GNOME Shell 43 (headless, one virtual monitor, Xwayland)
# with the AppIndicator extension as the panel's StatusNotifierWatcher and
# xdg-desktop-portal-gnome for the screenshots. The item registers, with the
# exported menu, at each of ten starts, some of them the moment the watcher
# appears; the exported menu's items work and Exit confirms; native copies
# are collected through Xwayland and a secret one is not; the first capture
# asks GNOME's permission, and the tools show a native window's colour; F5
# shows the save dialog with the focus.
#
# The shell's panel is not clicked (the headless seat has no pointer): the
# extension's requests are sent over D-Bus as it sends them, and the keys for
# the shell's own dialogs come from a remote desktop keyboard.
source "$(dirname "$0")/desktop-lib.sh"

enter_chroot
start_gnome 1280x800
start_gnome_keyboard
NATIVE=4080c0
start_colour_window "$NATIVE" native
# The shell gives the focus to a window asked for by the user only: with
# Alt+Tab, the only window in its switcher.
FOCUS_NATIVE_WINDOW="gnome_key alt+Tab"
# A GTK 4 copy of several types reaches X11 programs through Mutter without
# its text (xclip reads nothing either), so the secret copy is an X11 one.
SECRET_COPY_FROM=x11

EXTENSION=ubuntu-appindicators@ubuntu.com
extension() {
    in_session gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method "org.gnome.Shell.Extensions.$1Extension" "$EXTENSION" >/dev/null
}

note "the item registers at each of ten starts"
for start in 1 2 3 4 5 6 7 8 9 10; do
    if ((start % 3 == 0)); then
        # The watcher goes, and comes back the moment the program starts, as
        # at login.
        extension Disable || fail "cannot disable the AppIndicator extension"
        wait_for 10 not bus_has_name org.kde.StatusNotifierWatcher || fail "the watcher stayed with the extension off"
        extension Enable &
        enabler=$!
        expect_start_registers "start $start, as the watcher appears" yes
        wait "$enabler" || fail "cannot enable the AppIndicator extension"
    else
        expect_start_registers "start $start" yes
    fi
    note "ok: start $start: registered as $item_service$item_path, with the exported menu"
    ((start == 10)) || expect_item_gone_after_stop "start $start"
done

note "the watcher restarts while the program runs"
extension Disable
wait_for 10 not bus_has_name org.kde.StatusNotifierWatcher || fail "the watcher stayed with the extension off"
extension Enable
wait_for 20 bus_has_name org.kde.StatusNotifierWatcher || fail "the watcher did not come back"
wait_for_registered_item "after the watcher restarted"
note "ok: the item registers again with the new watcher"

note "the first capture asks GNOME's permission"
[[ ! -e $CH$USER_HOME/Pictures ]] || fail "the account has a pictures folder before the first capture"
watch_access_dialogs
panel_calls Activate 600 15
wait_for 30 access_dialog_asked 1 || fail "GNOME Shell was not asked for the screenshot permission$(capture_message)"
answer_access_dialog Allow
open_tools_asked "the first capture, once allowed"
expect_colour_at 300 300 "#${NATIVE^^}" "F3 over the native window gives its colour"
[[ $(screenshot_permission "") == *"'yes'"* ]] || fail "the permission store holds $(screenshot_permission)"
left=$(pictures_left)
[[ -z $left ]] || fail "the capture left pictures: $left"
note "ok: no picture left behind"

note "later captures ask no more"
open_tools "the second capture"
access_dialog_asked 2 && fail "the second capture asked again"
check_save_dialog "F5"

note "the exported menu"
expect_exported_menu
menu_click "E-mail collect"
wl_copy 'off not@collected'
wait_for 10 selection_is 'off not@collected' || fail "the copy did not become the selection"
sleep 1
menu_click "E-mail collect"
check_copies ""
note "ok: E-mail collect turns collection off and on again"

note "Exit asks, Yes ends the program"
menu_click "Exit"
wait_for 10 confirm_box_visible || fail "Exit did not open the confirmation"
answer_yes() {
    x11 xdotool search --onlyvisible --name '^Confirm$' windowactivate --sync >/dev/null 2>&1
    x11 xdotool key alt+y
    wait_for 3 not app_running
}
wait_for 20 answer_yes || fail "Alt+Y in the confirmation did not end the program"
wait_for 10 not registered_item || fail "the item stayed registered after Exit"
note "ok: Alt+Y ends the program and its item leaves the watcher"
echo "GNOME: all checks passed"
