#!/usr/bin/env bash
# The program on a newer sway than the host's: sway 1.12 on wlroots 0.19, as
# Debian's sid ships it, which offers ext_data_control_v1 beside the wlroots
# protocol. Headless, with Xwayland, inside a sid chroot that desktop-chroot.sh
# makes, with the program installed from its package on a fresh account.
#
# The program's own Wayland log (WAYLAND_DEBUG=client) shows that sway
# offered both managers and that the program bound the ext one and not the
# wlroots one, and that the selections then came through it. wl-copy's copies
# are collected: one alone, several in a row, and one while no window has the
# focus; a copy that carries a password manager's hint is not, the same copy
# without it is. The tool window, opened over the item's Activate, copies with
# F2 and F3 what wl-paste and xclip then read, and native copies are collected
# after them.
#
# No panel is drawn: a StatusNotifierWatcher of the tests' own holds the
# item, and the panel's Activate is sent over D-Bus as a click sends it.
# shellcheck disable=SC2034 # read by desktop-lib.sh
DESKTOP_SUITE=sid
source "$(dirname "$0")/desktop-lib.sh"

enter_chroot
start_sway 1280x800
install -m 755 "${VORNIK_TEST_BIN_DIR:?}/e2e/wl_owner" "$CH/usr/local/bin/vornik-e2e-wl-owner"
install -m 755 "$VORNIK_TEST_BIN_DIR/e2e/sni_watcher" "$CH/usr/local/bin/vornik-e2e-sni-watcher"
note "$(in_session sway --version) in Debian $(cat "$CH/etc/debian_version")"

session_command
"${SESSION_COMMAND[@]}" vornik-e2e-sni-watcher >"$E2E_TMP/watcher.log" 2>&1 &
wait_for 10 bus_has_name org.kde.StatusNotifierWatcher || fail "the tests' watcher did not take its name"

# What sway says has the focus: "TYPE NAME" of its focused node, a window
# (con or floating_con with a name) or a workspace when no window has it.
sway_focus() {
    in_session swaymsg -t get_tree | python3 -c '
import json, sys
def find(node):
    if node.get("focused"):
        return node
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        found = find(child)
        if found:
            return found
node = find(json.load(sys.stdin)) or {}
print(node.get("type", "none"), node.get("name") or "")'
}
window_focused() { [[ $(sway_focus) == "con $1" || $(sway_focus) == "floating_con $1" ]]; }
no_window_focused() { [[ $(sway_focus) == "workspace "* ]]; }

session_command
"${SESSION_COMMAND[@]}" foot -T native sh -c 'exec sleep 3600' >"$E2E_TMP/foot.log" 2>&1 &
FOOT_PID=$!
wait_for 20 window_focused native || fail "foot did not open focused: sway's focus is on '$(sway_focus)'"

start_app WAYLAND_DEBUG=client
wait_for_registered_item "at start"
wait_for 20 not tool_window_visible || fail "the main window did not hide after start"
WAYLAND_LOG=$E2E_TMP/app.log

note "which data control the program bound"
offered() { grep -qE "wl_registry[@#][0-9]+\.global\([0-9]+, \"$1\"" "$WAYLAND_LOG"; }
bound() { grep -qE "wl_registry[@#][0-9]+\.bind\([0-9]+, \"$1\"" "$WAYLAND_LOG"; }
wait_for 10 bound ext_data_control_manager_v1 || {
    grep -E 'data_control_manager|bind' "$WAYLAND_LOG" | head -n 20
    fail "the program did not bind ext_data_control_manager_v1"
}
offered ext_data_control_manager_v1 || fail "the log shows a bind of ext_data_control_manager_v1 that sway did not offer"
if offered zwlr_data_control_manager_v1; then
    note "sway offers zwlr_data_control_manager_v1 too"
    bound zwlr_data_control_manager_v1 && fail "the program bound zwlr_data_control_manager_v1 beside the ext manager"
else
    note "sway offers no zwlr_data_control_manager_v1"
fi
grep -qE 'ext_data_control_manager_v1[@#][0-9]+\.get_data_device\(' "$WAYLAND_LOG" ||
    fail "the program asked the ext manager for no data device"
note "ok: the program bound ext_data_control_manager_v1 and not the wlroots manager:"
grep -m 1 -E 'bind\([0-9]+, "ext_data_control_manager_v1"' "$WAYLAND_LOG"

# A selection the program heard of through the ext device: the events that
# came since the log had LINES lines.
ext_selections_since() {
    tail -n +"$(($1 + 1))" "$WAYLAND_LOG" | grep -cE 'ext_data_control_device_v1[@#][0-9]+\.selection\(ext_data_control_offer_v1' || true
}

note "native copies with foot focused"
lines=$(wc -l <"$WAYLAND_LOG")
wl_copy "x one@ext y"
wait_for 10 selection_is "x one@ext y" || fail "wl-copy's copy did not become the selection"
expect_file 'one@ext\r\n' "a copy by wl-copy is collected"
(($(ext_selections_since "$lines") >= 1)) || fail "the copy did not reach the program as an ext selection"
# Straight after one another from one shell, each wl-copy gone to the
# background as soon as its selection is set (a few milliseconds apart).
in_session sh -c 'for n in 1 2 3 4; do setsid wl-copy "quick$n@ext" </dev/null >/dev/null 2>&1; done'
expect_file 'one@ext\r\nquick1@ext\r\nquick2@ext\r\nquick3@ext\r\nquick4@ext\r\n' "four copies in a row are all collected"
collected='one@ext\r\nquick1@ext\r\nquick2@ext\r\nquick3@ext\r\nquick4@ext\r\n'

note "a password manager's copy"
owner() {
    session_command
    "${SESSION_COMMAND[@]}" setsid vornik-e2e-wl-owner "$@" </dev/null >>"$E2E_TMP/owner.log" 2>&1 &
}
owner 'secret@vault' 'text/plain;charset=utf-8' text/plain 'x-kde-passwordManagerHint:secret'
wait_for 10 selection_is 'secret@vault' || fail "the secret copy did not become the selection: $(wl_paste)"
[[ $(wl_paste --type x-kde-passwordManagerHint) == secret ]] ||
    fail "the secret copy's hint reads '$(wl_paste --type x-kde-passwordManagerHint)'"
wl_copy 'after@secret'
collected+='after@secret\r\n'
expect_file "$collected" "a copy with the hint 'secret' is not collected"
owner 'plain@owner' 'text/plain;charset=utf-8' text/plain
collected+='plain@owner\r\n'
expect_file "$collected" "the same copy without the hint is collected"

note "the primary selection"
# The ext device reports the primary selection too, which the wlroots one
# bound at version 1 never does; it is not the clipboard and is not
# collected.
lines=$(wc -l <"$WAYLAND_LOG")
wl_copy --primary 'primary@ext'
primary_seen() {
    tail -n +"$((lines + 1))" "$WAYLAND_LOG" | grep -qE 'ext_data_control_device_v1[@#][0-9]+\.primary_selection\(ext_data_control_offer'
}
wait_for 10 primary_seen || fail "the primary selection did not reach the program through the ext device"
[[ $(wl_paste --primary) == primary@ext ]] || fail "the primary selection reads '$(wl_paste --primary)'"
wl_copy 'after@primary'
collected+='after@primary\r\n'
expect_file "$collected" "the primary selection is not collected, a copy after it is"

note "a copy while no window has the focus"
kill "$FOOT_PID"
wait_for 10 no_window_focused || fail "sway's focus is on '$(sway_focus)' with foot gone"
wl_copy 'x nofocus@ext y'
collected+='nofocus@ext\r\n'
expect_file "$collected" "a copy made while no window has the focus is collected"

note "the program's own copies"
x11_clipboard() { x11 timeout 5 xclip -o -selection clipboard 2>/dev/null; }
# copy KEY X Y WANT: a native copy first, so that what is read after the key
# is the key's copy; then the tool window over the item's Activate, the
# pointer at (X, Y), the key, and both readers.
markers=0
own_copy() {
    local key=$1 x=$2 y=$3 want=$4 what=$5
    wl_copy "before marker$((++markers))@ext"
    collected+="marker$markers@ext\\r\\n"
    expect_file "$collected" "$what: the copy before it is collected"
    open_tools "$what"
    wait_for 10 window_focused Form1 || fail "$what: the tool window has not the focus: '$(sway_focus)'"
    x11 xdotool mousemove $((x + 1)) "$y"
    x11 xdotool mousemove "$x" "$y"
    x11 xdotool key "$key"
    wait_for 10 not tool_window_visible || fail "$what: $key did not close the tool window"
    pasted() { selection_is "$want"; }
    wait_for 5 pasted || fail "$what: wl-paste gives '$(wl_paste)', expected '$want'"
    x11_is() { [[ $(x11_clipboard) == "$want" ]]; }
    wait_for 5 x11_is || fail "$what: xclip through Xwayland gives '$(x11_clipboard)', expected '$want'"
    pasted || fail "$what: wl-paste gives '$(wl_paste)' after xclip read the copy"
    note "ok: $what: wl-paste and xclip read '$want' (focus: '$(sway_focus)')"
}
own_copy F2 110 201 "110:201" "F2"
# The capture without a portal reads Xwayland's root window, which sway
# leaves black. On this Xwayland's keymap xdotool holds Alt_L down with F3
# (xev shows Alt_L pressed first, F3 with Mod1), so the key that arrives is
# Alt+F3, which copies the colour in its hsl() form.
own_copy F3 400 300 "hsl(0, 0%, 0%)" "F3 (arriving as Alt+F3)"
own_copy F2 333 444 "333:444" "F2 again"
wl_copy 'after own@ext'
collected+='own@ext\r\n'
expect_file "$collected" "a native copy after the program's own is collected"

[[ -z $(x11_window '^Vornik Tools$') ]] || fail "the program shows a message box"
app_running || fail "the program ended"
echo "wayland ext: all checks passed"
