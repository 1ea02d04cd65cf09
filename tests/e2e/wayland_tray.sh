#!/usr/bin/env bash
# The tray on a Wayland session (headless sway) with waybar as the panel: the
# program's StatusNotifierItem registers with waybar's watcher and carries the
# hint, the panel's ContextMenu opens the styled menu at the point and inside
# the output, the menu's keys toggle collection and end the program through
# the confirmation, and a restarted waybar gets the item again.
#
# The seat of a headless sway has no pointer, so a click on waybar's icon
# cannot be made; the panel's requests are sent over D-Bus instead, exactly
# as waybar sends them on a click.
source "$(dirname "$0")/wayland-lib.sh"
source "$(dirname "$0")/sni-lib.sh"
wayland_require wtype xdotool xprop xwininfo dbus-send wl-copy

start_wayland 1280x800 336699
start_waybar
install_app
start_foot 00ff00 native
start_app_in_session

# Waits for the item to register with the running watcher, which must be
# waybar's, and reads its address.
expect_registered() {
    local what=$1 owner
    owner=$(name_owner_pid org.kde.StatusNotifierWatcher)
    [[ $(cat "/proc/$owner/comm" 2>/dev/null) == waybar ]] || fail "$what: the watcher belongs to process '$owner', not to waybar"
    wait_for_registered_item "$what"
    owner=$(name_owner_pid "$item_service")
    [[ $(cat "/proc/$owner/comm" 2>/dev/null) == vornik-tools ]] || fail "$what: the registered item $item_service$item_path is not the program's"
    note "ok: $what: registered as $item_service$item_path"
}

# Opens the menu as the panel does for a right click at (X, Y) and checks it
# lies inside the output; with a fourth argument "exact", also that it stands
# where the X11 tray puts it (one pixel left of and two above the point).
open_menu_at() {
    local x=$1 y=$2 exact=${3:-} mx my mw mh
    panel_calls ContextMenu "$x" "$y"
    wait_for 20 menu_open || fail "ContextMenu($x, $y) opened no menu"
    read -r mx my mw mh <<<"$(menu_geometry)"
    ((mx >= 0 && my >= 0 && mx + mw <= WL_WIDTH && my + mh <= WL_HEIGHT)) ||
        fail "the menu for ($x, $y) at $mx,$my ${mw}x$mh leaves the ${WL_WIDTH}x$WL_HEIGHT output"
    if [[ $exact == exact ]]; then
        [[ "$mx $my" == "$((x - 1)) $((y - 2))" ]] || fail "the menu for ($x, $y) is at $mx,$my"
    fi
    # The panel's point lies within the menu's reach: the menu touches it or
    # was moved just far enough to stay inside the output.
    ((mx <= x && my <= y)) || fail "the menu for ($x, $y) at $mx,$my stands right of or below the point"
    note "ok: ContextMenu($x, $y) opens the menu at $mx,$my ${mw}x$mh"
}

# Presses a key in the open menu, inside Xwayland, where the menu holds the
# keyboard grab; waits until the menu is gone.
press_in_menu() {
    in_session xdotool key "$1"
    wait_for 10 not menu_open || fail "the key $1 did not close the menu"
}

expect_registered "at start"
item_property ToolTip >"$E2E_TMP/tooltip" || fail "the item has no ToolTip"
grep -q 'Press right click to open menu' "$E2E_TMP/tooltip" || fail "the tooltip lacks the hint: $(cat "$E2E_TMP/tooltip")"
note "ok: the tooltip carries the hint"

note "ContextMenu opens the styled menu, and it takes the keyboard"
# A keyboard that is there before the menu opens, as a user's is: sway gives
# it to the menu when the menu maps. (A virtual keyboard made after that is
# handed to the focused native window instead, so the later keys go in
# through Xwayland.) Its key comes eight seconds later: on a busy machine a
# key four seconds later could close the menu before a check had seen it
# open, which reads as no menu at all.
in_session wtype -s 8000 -k Escape &
typist=$!
E2E_PIDS+=("$typist")
seat_has_keyboard() { in_session swaymsg -r -t get_seats | grep -q '"capabilities": [1-9]'; }
wait_for 10 seat_has_keyboard || fail "wtype's keyboard did not join the seat"
open_menu_at 600 300 exact
wait_for 15 not menu_open || fail "a key of the seat's keyboard did not reach the menu"
wait "$typist" || true
open_menu_at $((WL_WIDTH - 5)) 15
press_in_menu Escape
open_menu_at 20 $((WL_HEIGHT - 3))

note "E turns collection off"
press_in_menu e
wl_copy 'off not@collected'
# Once the compositor holds the copy it has told the program, before the
# panel's next request.
selection_is() { [[ $(wl_paste) == "$1" ]]; }
wait_for 10 selection_is 'off not@collected' || fail "the copy did not become the selection"
# A copy while collection is off leaves no trace; turning it on again and
# copying anew shows that the earlier copy was seen and passed over.
open_menu_at 600 300 exact
press_in_menu e
wl_copy 'on is@collected'
printf 'is@collected\r\n' >"$E2E_TMP/expected"
wait_for 10 cmp -s "$E2E_TMP/expected" "$APP_DIR/emails.txt" ||
    fail "with collection off and on again, emails.txt holds: $(cat "$APP_DIR/emails.txt" 2>&1)"
note "ok: a copy made while collection was off is not collected, the next one is"

note "waybar restarts"
# The process itself, found by its name on the bus: the one start_waybar
# knows is the shell that waits for it.
kill "$(name_owner_pid org.kde.StatusNotifierWatcher)"
wait_for 10 not bus_has_name org.kde.StatusNotifierWatcher || fail "waybar's watcher stayed after waybar ended"
start_waybar
expect_registered "after waybar restarted"
open_menu_at 600 300 exact
press_in_menu Escape

note "X asks, Yes ends the program"
open_menu_at 600 300 exact
press_in_menu x
confirm_box() { in_session xdotool search --onlyvisible --name '^Confirm$' >/dev/null 2>&1; }
wait_for 10 confirm_box || fail "X did not open the confirmation"
# The box takes keys once sway has given it the focus.
answer_yes() {
    sway_cmd '[title="^Confirm$"] focus' && focused_window_is Confirm && in_session xdotool key alt+y
    wait_for 3 not app_running
}
wait_for 20 answer_yes || fail "Alt+Y in the confirmation did not end the program"
not registered_item >/dev/null || wait_for 10 not registered_item || fail "the item stayed registered after the program ended"
note "ok: Alt+Y ends the program and its item leaves the panel"
echo "wayland tray: all checks passed"
