#!/usr/bin/env bash
# The pointing aids on a Wayland session (headless sway): in the tool window,
# opened from waybar's tray over StatusNotifierItem, the arrow keys move the
# point one captured pixel a press, whether or not Xwayland lets the program
# move the pointer with it, F6 shows and hides the loupe beside the point, F7
# measures foot's window to its edges, and Shift+F3 copies the colour as
# rgb().
source "$(dirname "$0")/wayland-lib.sh"
wayland_require xdotool xwininfo dbus-send

FOOT_COLOUR=c08040
start_screen_tools_session "$FOOT_COLOUR"
start_app_in_session QT_QPA_PLATFORM=xcb

wait_for_registered_item

wait_for 20 not tool_window_visible || fail "the main window did not hide after start"

# Opens the tool window as a click on the panel's icon does and points at (X,
# Y) inside Xwayland (the headless seat has no pointer of sway's own); the
# window covers the output, so these are also captured pixels. The pointer
# arrives by a move from beside the point, since the readouts follow moves.
open_and_point_at() {
    local x=$1 y=$2 what=$3
    open_tool_window "$what"
    local wx wy ww wh
    read -r wx wy ww wh <<<"$(tool_window_geometry)" || fail "$what: the tool window has no geometry"
    in_session xdotool mousemove $((x + 1)) "$y"
    in_session xdotool mousemove "$x" "$y"
}

# Keys go through Xwayland's own keyboard (XTEST) to the focused X window:
# unlike a Wayland virtual keyboard, it loses no first key.
press() { in_session xdotool key "$@"; }
selection_is() { [[ $(wl_paste) == "$1" ]]; }
pointer_x() { in_session xdotool getmouselocation --shell | sed -n 's/^X=//p'; }

note "Right three times moves the point three captured pixels"
open_and_point_at 500 400 "arrow keys"
press Right Right Right
# Whether Xwayland moved its pointer with the point is up to Xwayland; the
# point must have moved exactly three pixels either way.
moved_to=$(pointer_x)
note "Xwayland's pointer after the keys: x=$moved_to (503 if it followed the point, 500 if not)"
press F2
wait_for 10 not tool_window_visible || fail "F2 did not close the tool window"
wait_for 5 selection_is "503:400" || fail "after Right three times F2 gives '$(wl_paste)', expected 503:400"
note "ok: F2 gives 503:400"

note "Shift with an arrow moves ten pixels, from this opening's point, not the last one's"
open_and_point_at 300 200 "arrow keys at the second opening"
press Right shift+Down
press F2
wait_for 10 not tool_window_visible || fail "F2 did not close the tool window"
wait_for 5 selection_is "301:210" || fail "after Right and Shift+Down F2 gives '$(wl_paste)', expected 301:210"
note "ok: F2 gives 301:210"

# The loupe stands right of and below the point, 24 pixels from its pixel
# (scale 1); its cells are 8 pixels, the centre cell (the eighth of fifteen)
# framed black inside white. The point is over foot, so the centre cell and
# every cell around it hold foot's colour, never the crosshair.
note "F6 shows the loupe beside the point and F6 again hides it"
open_and_point_at 400 300 "loupe"
lx=$((400 + 1 + 24)) ly=$((300 + 1 + 24))
cx=$((lx + 1 + 7 * 8)) cy=$((ly + 1 + 7 * 8 + 4))
pixel_is() { [[ $(wl_pixel "$1" "$2") == "$3" ]]; }
pixel_is $((cx - 1)) "$cy" "${FOOT_COLOUR}" || fail "before F6 ($((cx - 1)), $cy) is $(wl_pixel $((cx - 1)) "$cy"), not foot's colour"
press F6
wait_for 5 pixel_is $((cx - 1)) "$cy" 000000 ||
    fail "the loupe's centre cell has no inner black ring at ($((cx - 1)), $cy): $(wl_pixel $((cx - 1)) "$cy")"
pixel_is $((cx - 2)) "$cy" ffffff || fail "the loupe's centre cell has no outer white ring: $(wl_pixel $((cx - 2)) "$cy")"
pixel_is $((cx + 4)) "$cy" "$FOOT_COLOUR" || fail "the loupe's centre cell is $(wl_pixel $((cx + 4)) "$cy"), not the capture's"
pixel_is $((lx + 1 + 3 * 8 + 4)) "$cy" "$FOOT_COLOUR" ||
    fail "a loupe cell on the crosshair's row shows $(wl_pixel $((lx + 1 + 3 * 8 + 4)) "$cy"), not the plain capture"
note "ok: F6 shows the loupe with its centre framed"
press F6
wait_for 5 pixel_is $((cx - 1)) "$cy" "$FOOT_COLOUR" ||
    fail "after F6 again ($((cx - 1)), $cy) is $(wl_pixel $((cx - 1)) "$cy"), the loupe is still there"
note "ok: F6 again hides the loupe"
press Escape
wait_for 10 not tool_window_visible || fail "Escape did not close the tool window"

# foot's window is one colour inside sway's border (its cursor stays in the
# top-left corner, away from the point's row and column): the ruler's spans
# are the size of its content as sway lays it out.
note "F7 measures foot's window and F4 copies its size; Shift+F3 copies rgb()"
read -r fw fh <<<"$(sway_window_field native window_rect.width window_rect.height)"
[[ -n $fw && -n $fh ]] || fail "sway tells no size of foot's window"
open_and_point_at 600 450 "spacing ruler"
press F7
press F4
wait_for 10 not tool_window_visible || fail "F4 with the ruler did not close the tool window"
wait_for 5 selection_is "$fw:$fh" || fail "F7 then F4 gives '$(wl_paste)', expected foot's size $fw:$fh"
note "ok: F4 gives foot's size $fw:$fh"
open_and_point_at 600 450 "colour as rgb()"
press shift+F3
wait_for 10 not tool_window_visible || fail "Shift+F3 did not close the tool window"
wait_for 5 selection_is "rgb(192, 128, 64)" || fail "Shift+F3 gives '$(wl_paste)', expected rgb(192, 128, 64)"
note "ok: Shift+F3 gives rgb(192, 128, 64)"

app_running || fail "the program ended"
echo "wayland aids: all checks passed"
