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
install_app_entry org.example.VornikTools
install_app_entry org.example.VornikDenied
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

note "a start whose X connection fails"
start_app XAUTHORITY=/nonexistent
status=0
wait "$APP_PID" || status=$?
APP_PID=
((status == 1)) || fail "without the X authority the program ended with status $status"
grep -q 'cannot connect to the X display' "$E2E_TMP/app.log" || fail "it did not say why it ended: $(cat "$E2E_TMP/app.log")"
[[ -z $(registered_items) ]] || fail "it left an item behind: $(registered_items)"
: >"$E2E_TMP/app.log"
note "ok: it says why it ended and leaves no item"

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

note "the spacing ruler and the colour as rgb()"
check_ruler_and_rgb

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
expect_yes_ends_program
note "started from a menu entry: the first capture from the tray asks, and the answer counts"
# A program GNOME starts from an entry runs in the entry's scope, and the
# portal asks the shell's dialog with that app id, which the shell shows only
# for the focused app.
consent_window() { x11_window '^Screenshot permission - Vornik Tools$'; }
focused_is_consent() { [[ -n $(consent_window) && $(x11 xdotool getwindowfocus 2>/dev/null) == "$(consent_window)" ]]; }
message_box() { x11_window '^Vornik Tools$'; }
close_message_box() {
    x11 xdotool search --onlyvisible --name '^Vornik Tools$' windowactivate --sync >/dev/null 2>&1
    x11 xdotool key Return
    sleep 0.3
    [[ -z $(message_box) ]]
}
asked=$(grep -c 'member=AccessDialog' "$E2E_TMP/access.txt")
start_app_in_scope org.example.VornikTools
wait_for_registered_item "started in the scope of org.example.VornikTools.desktop"
panel_calls Activate 600 15
wait_for 10 focused_is_consent || fail "no window of the program's own holds the focus while GNOME is asked"
wait_for 30 access_dialog_asked $((asked + 1)) || fail "GNOME Shell was not asked for the app's screenshot permission"
grep -q 'string "org.example.VornikTools"' "$E2E_TMP/access.txt" || fail "the portal asked for another app id"
answer_access_dialog Allow org.example.VornikTools
open_tools_asked "the first capture of the app, once allowed (store: $(screenshot_permission))"
[[ -z $(consent_window) ]] || fail "the program's window stayed after GNOME's answer"
expect_colour_at 300 300 "#${NATIVE^^}" "F3 over the native window, in the app's first capture"
[[ $(screenshot_permission) == *"'org.example.VornikTools': ['yes']"* ]] ||
    fail "the permission store holds $(screenshot_permission)"
open_tools "the app's second capture"
access_dialog_asked $((asked + 2)) && fail "the app's second capture asked again"
x11 xdotool key Escape
wait_for 10 not tool_window_visible || fail "Escape did not close the tool window"
note "ok: the app's first capture from the tray asked GNOME, and the answer was kept"
stop_app
remove_scopes

note "started from another entry, the user says no"
start_app_in_scope org.example.VornikDenied
wait_for_registered_item "started in the scope of org.example.VornikDenied.desktop"
panel_calls Activate 600 15
wait_for 30 access_dialog_asked $((asked + 2)) || fail "GNOME Shell was not asked for the second app's permission"
answer_access_dialog Deny
wait_for 20 message_box || fail "no message after the refusal (store: $(screenshot_permission))"
tool_window_visible && fail "the tool window opened after the refusal"
[[ $(screenshot_permission) == *"'org.example.VornikDenied': ['no']"* ]] ||
    fail "the permission store holds $(screenshot_permission)"
wait_for 10 close_message_box || fail "the message did not close"
# Refused once, the next capture says so at once, without asking again.
panel_calls Activate 600 15
wait_for 10 message_box || fail "no message at the capture after the refusal"
access_dialog_asked $((asked + 3)) && fail "the capture after the refusal asked again"
wait_for 10 close_message_box || fail "the message did not close"
note "ok: a refusal gives one message, kept for the next capture"
stop_app
remove_scopes
echo "GNOME: all checks passed"
