#!/usr/bin/env bash
# The screen tools end to end: opened by a double-click on the tray icon over
# a desktop of known colour, the crosshair checked pixel by pixel against the
# blend formula, readouts copied with F2 and F4 and read back with xclip, the
# point moved by the arrow keys, the loupe, the info panel dragged by its
# caption (also while the picture is dragged with the right button), a panel
# drag ended by Escape and by F2, the spacing ruler over a window of known
# size, the colour copied as rgb() and hsl(), Escape closing.
source "$(dirname "$0")/lib.sh"

start_desktop 1280x800 tray
xsetroot -solid '#204080'
install_app
start_app
wait_for 10 tray_icon_geometry || fail "the icon never docked"
wait_for 5 not main_window_visible || fail "the main window stayed visible"

open_tool_window
xdotool mousemove 500 400
sleep 0.2
xdotool mousemove 501 401
sleep 0.5
# A green line (alpha 120) over #204080: each channel (p*136 + c*120) >> 8.
expect_pixel 500 700 119944 "vertical crosshair, left column"
expect_pixel 501 700 119944 "vertical crosshair, right column"
expect_pixel 499 700 204080 "left of the crosshair"
expect_pixel 502 700 204080 "right of the crosshair"
expect_pixel 200 400 119944 "horizontal crosshair, upper row"
expect_pixel 200 401 119944 "horizontal crosshair, lower row"
expect_pixel 200 402 204080 "below the crosshair"
expect_pixel 500 400 09C824 "the crossing, blended twice"
note "ok: the crosshair follows the pointer with the blend of the formula"

xdotool key F2
wait_for 5 not main_window_visible || fail "F2 did not close the tool window"
[[ $(clipboard_text) == "501:401" ]] || fail "F2 copied '$(clipboard_text)' instead of 501:401"
tray_icon_geometry >/dev/null || fail "the icon left the tray"
note "ok: F2 copies the position and closes"

# The arrow keys move the point from where the pointer stands at the opening,
# one captured pixel a press, and the real pointer follows it.
pointer_at() { [[ $(xdotool getmouselocation --shell | sed -n 's/^[XY]=//p' | paste -sd' ') == "$1 $2" ]]; }
open_tool_window
read -r px py < <(xdotool getmouselocation --shell | sed -n 's/^[XY]=//p' | paste -sd' ')
xdotool key Right Right Right
wait_for 5 pointer_at $((px + 3)) "$py" || fail "the pointer did not follow the keys to $((px + 3)),$py"
xdotool key F2
wait_for 5 not main_window_visible || fail "F2 did not close the tool window"
[[ $(clipboard_text) == "$((px + 3)):$py" ]] || fail "F2 copied '$(clipboard_text)' instead of $((px + 3)):$py"
note "ok: Right three times moves the point and the pointer three pixels"

# F6 shows the loupe right of and below the point, with the centre pixel
# framed black and white; F6 again hides it. A drag finished with the keys
# gives the size of the selection it leaves.
s=${QT_SCALE_FACTOR:-1}
open_tool_window
xdotool mousemove 400 300
sleep 0.2
xdotool key F6
f=$((8 * s))
lx=$(((400 + 1 + 24 * s + s - 1) / s * s))
ly=$(((300 + 1 + 24 * s + s - 1) / s * s))
cx=$((lx + 1 + 7 * f))
cy=$((ly + 1 + 7 * f + f / 2))
expect_pixel $((cx - 1)) "$cy" 000000 "inner ring of the loupe's centre cell"
expect_pixel $((cx - 2)) "$cy" FFFFFF "outer ring of the loupe's centre cell"
expect_pixel $((cx + f / 2)) "$cy" 204080 "the centre cell: the plain capture"
expect_pixel $((lx + 1 + 3 * f + f / 2)) "$cy" 204080 "a cell on the crosshair's row, without the crosshair"
xdotool key F6
expect_pixel $((cx - 1)) "$cy" 204080 "where the loupe was"
note "ok: F6 shows and hides the loupe beside the point"

xdotool mousedown 1
xdotool mousemove 440 320
sleep 0.2
xdotool key Right Right Right shift+Down
wait_for 5 pointer_at 443 330 || fail "the pointer did not follow the keys during the drag"
xdotool mouseup 1
sleep 0.3
xdotool key F4
wait_for 5 not main_window_visible || fail "F4 did not close the tool window"
[[ $(clipboard_text) == "43:30" ]] || fail "F4 copied '$(clipboard_text)' instead of 43:30"
note "ok: a drag finished with the keys gives the size of the selection"

open_tool_window
xdotool mousemove 100 500
sleep 0.2
xdotool mousedown 1
xdotool mousemove 150 520
sleep 0.2
xdotool mousemove 200 550
sleep 0.2
xdotool mousemove 201 551
sleep 0.2
xdotool mouseup 1
sleep 0.3
# Inside the box each channel is darkened twice: (p*246+2550)>>8, then *106>>8.
expect_pixel 160 530 101D36 "inside the selection box"
expect_pixel 98 530 204080 "left of the box"
xdotool key F4
wait_for 5 not main_window_visible || fail "F4 did not close the tool window"
[[ $(clipboard_text) == "101:51" ]] || fail "F4 copied '$(clipboard_text)' instead of 101:51"
note "ok: a drag selects, the box darkens the area, F4 copies its size"

# F7 runs the spacing ruler from the point to the edges of a window of known
# size: its lines end at the window's edges, and F4 copies the spans. Over
# the same window Shift+F3 copies the colour as rgb(), Alt+F3 as hsl().
"$VORNIK_TEST_BIN_DIR/e2e/solid_window" 100 560 300 200 E0C040 >"$E2E_TMP/solid.log" 2>&1 &
solid_pid=$!
E2E_PIDS+=($solid_pid)
wait_for 5 grep -q shown "$E2E_TMP/solid.log" || fail "the window to measure did not show"
expect_pixel 250 660 E0C040 "the window to measure"
open_tool_window
xdotool mousemove 200 650
sleep 0.2
xdotool key F7
expect_pixel 100 650 FF00FF "the ruler at the window's left edge"
expect_pixel 399 650 FF00FF "the ruler at its right edge"
expect_pixel 200 560 FF00FF "the ruler at its top edge"
expect_pixel 200 759 FF00FF "the ruler at its bottom edge"
expect_pixel 99 650 119944 "left of the window: the crosshair alone"
expect_pixel 400 650 119944 "right of the window: the crosshair alone"
expect_pixel 200 760 119944 "below the window: the crosshair alone"
xdotool key F4
wait_for 5 not main_window_visible || fail "F4 did not close the tool window"
[[ $(clipboard_text) == "300:200" ]] || fail "F4 with the ruler copied '$(clipboard_text)' instead of 300:200"
note "ok: F7 measures a 300x200 window to its edges and F4 copies 300:200"

# F7 right after an opening starts from where the pointer stands, not from
# the point of the opening before.
open_tool_window
read -r px py < <(xdotool getmouselocation --shell | sed -n 's/^[XY]=//p' | paste -sd' ')
xdotool key F7 F2
wait_for 5 not main_window_visible || fail "F2 did not close the tool window"
[[ $(clipboard_text) == "$px:$py" ]] || fail "F7 then F2 copied '$(clipboard_text)' instead of the pointer's $px:$py"
note "ok: F7 at the opening measures from the pointer"

for format in "shift+F3 rgb(224, 192, 64)" "alt+F3 hsl(48, 72%, 56%)"; do
    read -r keys want <<<"$format"
    open_tool_window
    xdotool mousemove 250 700
    sleep 0.3
    xdotool key "$keys"
    wait_for 5 not main_window_visible || fail "$keys did not close the tool window"
    [[ $(clipboard_text) == "$want" ]] || fail "$keys copied '$(clipboard_text)' instead of $want"
done
note "ok: Shift+F3 and Alt+F3 copy the colour as rgb() and hsl()"
kill "$solid_pid"
wait "$solid_pid" 2>/dev/null || true

# On a scaled screen (QT_SCALE_FACTOR) every position above is in device
# pixels all the same; the panel, laid out in logical pixels, is checked at
# scale 1 only.
if [[ ${QT_SCALE_FACTOR:-1} != 1 ]]; then
    xdotool key Escape
    wait_for 5 not main_window_visible || fail "Escape did not close the tool window"
    echo "screen tools end to end at scale ${QT_SCALE_FACTOR}: all checks passed"
    exit 0
fi

# Drag the panel by its caption strip; the next opening shows it there.
open_tool_window
expect_pixel $((328 + 290)) $((88 + 9)) C8E0FF "caption strip of the panel"
xdotool mousemove $((328 + 200)) $((88 + 10))
sleep 0.2
xdotool mousedown 1
for step in 1 2 3 4 5; do
    xdotool mousemove $((328 + 200 + step * 20)) $((88 + 10 + step * 10))
    sleep 0.05
done
xdotool mouseup 1
sleep 0.3
xdotool key Escape
wait_for 5 not main_window_visible || fail "Escape did not close the tool window"
open_tool_window
expect_pixel $((428 + 290)) $((138 + 9)) C8E0FF "caption strip at the panel's new place"
expect_pixel $((328 + 10)) $((88 + 9)) 204080 "the panel's old place"

# Escape during a drag of the panel cancels the drag and puts the panel back,
# without closing the tool window.
drag_panel_from() {
    xdotool mousemove "$1" "$2"
    sleep 0.2
    xdotool mousedown 1
    for step in 1 2 3 4 5; do
        xdotool mousemove $(($1 - step * 20)) $(($2 + step * 10))
        sleep 0.05
    done
}
drag_panel_from $((428 + 200)) $((138 + 10))
expect_pixel $((328 + 290)) $((188 + 9)) C8E0FF "caption strip during the drag"
xdotool key Escape
expect_pixel $((428 + 290)) $((138 + 9)) C8E0FF "caption strip back where the drag began"
main_window_visible || fail "Escape during a panel drag closed the tool window"
xdotool mouseup 1
note "ok: Escape cancels a panel drag and leaves the tool window open"

# F2 during a drag closes the window and ends the drag there: after the next
# opening the panel stays put while the pointer moves with no button held.
drag_panel_from $((428 + 200)) $((138 + 10))
xdotool key F2
wait_for 5 not main_window_visible || fail "F2 during a panel drag did not close the tool window"
xdotool mouseup 1
open_tool_window
xdotool mousemove 900 650
sleep 0.3
xdotool mousemove 300 600
sleep 0.3
expect_pixel $((328 + 290)) $((188 + 9)) C8E0FF "caption strip where the drag ended"
expect_pixel $((428 + 290)) $((138 + 9)) 204080 "the place the drag began"
note "ok: a drag ended by F2 does not follow the pointer at the next opening"

# During a right-button drag of the picture, a left press on the caption strip
# goes to the panel and drags it.
xdotool mousemove 200 700
sleep 0.2
xdotool mousedown 3
xdotool mousemove $((328 + 200)) $((188 + 10))
sleep 0.2
xdotool mousedown 1
for step in 1 2 3 4 5; do
    xdotool mousemove $((328 + 200 + step * 10)) $((188 + 10 - step * 10))
    sleep 0.05
done
xdotool mouseup 1
xdotool mouseup 3
expect_pixel $((378 + 290)) $((138 + 9)) C8E0FF "caption strip moved by the left button during a right drag"
note "ok: a second button goes to the panel under the pointer"
xdotool mousemove 500 700
sleep 0.3
xdotool key Escape
wait_for 5 not main_window_visible || fail "Escape did not close the tool window"
app_running || fail "the program ended"
tray_icon_geometry >/dev/null || fail "the icon left the tray"
note "ok: the panel moves by its caption and keeps its place; Escape closes"
echo "screen tools end to end: all checks passed"
