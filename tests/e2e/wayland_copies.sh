#!/usr/bin/env bash
# The readouts' copies on a Wayland session (headless sway) where no native
# window has the focus: F2 and F3, pressed in the tool window again and
# again, the first F2 after start included, reach native programs (wl-paste)
# and X11 programs (xclip through Xwayland) alike, and each makes one
# collection pass. Once with no native window at all, then with foot open on
# another workspace.
source "$(dirname "$0")/wayland-lib.sh"
wayland_require xclip xdotool dbus-send wl-paste foot

start_wayland 1280x800 336699
start_portal
start_waybar
install_app
start_app_in_session QT_QPA_PLATFORM=xcb
watch_collection_passes
wait_for_registered_item
wait_for 20 not tool_window_visible || fail "the main window did not hide after start"

x11_clipboard() { in_session timeout 5 xclip -o -selection clipboard 2>/dev/null; }
native_is() { [[ $(wl_paste) == "$1" ]]; }
x11_is() { [[ $(x11_clipboard) == "$1" ]]; }

# copy KEY X Y WANT WHAT: a native copy first, so that what is read after
# the key is the key's copy and no earlier one; then the tool window, the
# pointer moved to (X, Y), the key, and both readers, while the focus is
# wherever sway put it when the window closed.
markers=0 passes_so_far=0
copy() {
    local key=$1 x=$2 y=$3 want=$4 what=$5
    wl_copy "before marker$((++markers))@copy"
    passes_so_far=$(passes_once_collected "marker$markers@copy") || fail "$what: the copy before the key was not collected"
    open_tool_window "$what"
    in_session xdotool mousemove $((x + 1)) "$y"
    in_session xdotool mousemove "$x" "$y"
    # Keys go through Xwayland's own keyboard (XTEST) to the focused X window.
    in_session xdotool key "$key"
    wait_for 10 not tool_window_visible || fail "$what: $key did not close the tool window"
    wait_for 5 native_is "$want" || fail "$what: wl-paste gives '$(wl_paste)', expected '$want'"
    wait_for 5 x11_is "$want" || fail "$what: xclip through Xwayland gives '$(x11_clipboard)', expected '$want'"
    # Read again: neither reader took the copy away from the other.
    native_is "$want" || fail "$what: wl-paste gives '$(wl_paste)' after xclip read the copy"
    # The copy is one change of the clipboard: at most one pass, counted once
    # the next copy's pass is in. On a busy machine the program may see its
    # own copy and the next one as one change, and make one pass of both.
    wl_copy "after marker$((++markers))@copy"
    local now
    now=$(passes_once_collected "marker$markers@copy") || fail "$what: the copy after $key was not collected"
    local made=$((now - passes_so_far))
    ((made == 1 || made == 2)) || fail "$what: $key and the copy after it made $made collection passes, expected 2 (addresses at each pass: $(tail -n 5 "$E2E_TMP/passes.log" | cut -d' ' -f2 | tr '\n' ' '))"
    note "ok: $what (focused: '$(sway_window_field --focused name)')"
}

note "no native window"
copy F2 110 201 "110:201" "the first F2 after start"
copy F3 400 300 "#336699" "F3 once"
copy F2 120 202 "120:202" "F2 again"
copy F3 500 400 "#336699" "F3 again"
copy F2 130 203 "130:203" "F2 a third time"
copy F3 600 500 "#336699" "F3 a third time"
copy F2 140 204 "140:204" "F2 a fourth time"

# Readers that ask for the selection and hang up before it is written, over
# and over while the program copies: its own offer is the selection for a
# moment after each copy (until Xwayland passes on the X11 one), and an offer
# written into a pipe nobody reads must end that transfer, not the program.
note "readers that hang up while the program copies"
in_session sh -c "while :; do '$VORNIK_TEST_BIN_DIR/e2e/wl_hangup' >/dev/null 2>&1; done" &
hangups=$!
E2E_PIDS+=($hangups)
for ((i = 0; i < 4; i++)); do
    open_tool_window "copy $((i + 1)) among readers that hang up"
    in_session xdotool mousemove $((300 + i)) 300
    sleep 0.3
    in_session xdotool key F2
    wait_for 10 not tool_window_visible || fail "F2 did not close the tool window"
    sleep 0.5
done
kill "$hangups"
pkill -f 'e2e/wl_hangup' || true
app_running || fail "the program ended while readers hung up on its copies"
copy F2 160 206 "160:206" "F2 after the readers that hung up"

note "foot open on another workspace"
start_foot 00ff00 native
sway_cmd '[title="^native$"] move container to workspace 2'
wait_for 10 not focused_window_is native || fail "foot kept the focus after it moved to workspace 2"
copy F3 200 100 "#336699" "F3 with foot on another workspace"
copy F2 150 205 "150:205" "F2 with foot on another workspace"

app_running || fail "the program ended"
echo "wayland copies: all checks passed"
