#!/usr/bin/env bash
# The screen tools over the pattern screen (every pixel's colour tells its
# position) on X11, at the scale given as the argument (1, 1.5 or 2, set as
# Xft.dpi the way desktops set it): the pointer, reached by many small moves,
# picks the pixel under it; a drag of many moves is drawn, copied (F4) and
# saved (F5) at the size of the selection; and every pixel of the tool window
# outside the info panel is what the overlay makes of the frozen screen.
source "$(dirname "$0")/lib.sh"

scale=${1:-1}
dpi=$(python3 -c "print(round(96 * $scale))")
start_desktop 1920x1080 tray
"$VORNIK_TEST_BIN_DIR/e2e/pattern" root || fail "cannot put the pattern on the screen"
echo "Xft.dpi: $dpi" | xrdb -merge
install_app
start_app
wait_for 10 tray_icon_geometry || fail "the icon never docked"
wait_for 5 not main_window_visible || fail "the main window stayed visible"

pointer_position() { xdotool getmouselocation --shell | sed -n 's/^[XY]=//p' | paste -sd' '; }
decoded() { "$VORNIK_TEST_BIN_DIR/e2e/pattern" decode "$1"; }

# Moves the pointer from where it is to (X, Y) in 30 steps, as a hand does.
glide() {
    local x0 y0 i
    read -r x0 y0 <<<"$(pointer_position)"
    for ((i = 1; i <= 30; i++)); do
        xdotool mousemove $((x0 + ($1 - x0) * i / 30)) $((y0 + ($2 - y0) * i / 30))
        sleep 0.01
    done
    sleep 0.3
}

copied() {
    local key=$1 what=$2
    xdotool key "$key"
    wait_for 5 not main_window_visible || fail "$what: $key did not close the tool window"
    clipboard_text
}

note "the readouts name the pixel under the pointer at scale $scale"
for point in "301 633" "1234 867" "3 1077" "1917 41"; do
    read -r x y <<<"$point"
    open_tool_window
    glide "$x" "$y"
    got=$(copied F3 "colour at $x,$y")
    [[ $(decoded "$got") == "$x $y" ]] || fail "F3 at ($x, $y) gave $got, the colour of ($(decoded "$got"))"
    open_tool_window
    glide $((x + 1)) "$y"
    glide "$x" "$y"
    got=$(copied F2 "position at $x,$y")
    [[ $got == "$x:$y" ]] || fail "F2 at ($x, $y) gave $got"
done
note "ok: F2 and F3 name the pixel under the pointer"

# A drag of many moves from (1000, 600) to (1400, 800).
drag_selection() {
    glide 1000 600
    xdotool mousedown 1
    glide 1200 700
    glide 1400 800
    xdotool mouseup 1
    sleep 0.5
}

note "a drag of many moves is drawn, copied and saved at its size"
"$VORNIK_TEST_BIN_DIR/e2e/xshot" --ppm "$E2E_TMP/before.ppm"
open_tool_window
drag_selection
"$VORNIK_TEST_BIN_DIR/e2e/xshot" --ppm "$E2E_TMP/after.ppm"
# The info panel's place: laid out at 96 dots per inch, scaled with the rest.
panel=$(python3 -c "import math; s = $scale; print(math.floor(328 * s) - 1, math.floor(88 * s) - 1, math.ceil(297 * s) + 2, math.ceil(177 * s) + 2)")
# shellcheck disable=SC2086 # the panel's rectangle is four words
python3 "$(dirname "$0")/overlay_check.py" "$E2E_TMP/before.ppm" "$E2E_TMP/after.ppm" 1000 600 1400 800 $panel ||
    fail "the tool window does not show the overlay over the frozen screen"
note "ok: outside the panel, the window shows exactly the guides and the box over the frozen screen"
got=$(copied F4 "size of the drag")
[[ $got == "400:200" ]] || fail "F4 after the drag gave $got, expected 400:200"

open_tool_window
drag_selection
xdotool key F5
dialog_open() { xdotool search --onlyvisible --name 'Save' >/dev/null 2>&1; }
wait_for 10 dialog_open || fail "F5 did not open the save dialog"
sleep 1
mkdir "$E2E_TMP/out"
chown "$APP_USER:" "$E2E_TMP/out"
target="$E2E_TMP/out/area.jpg"
xdotool type --delay 20 "$target"
sleep 0.3
xdotool key Return
wait_for 10 test -s "$target" || fail "nothing was saved to $target"
wait_for 5 not main_window_visible || fail "the tool window stayed open after saving"
djpeg -pnm "$target" >"$E2E_TMP/area.ppm" || fail "the saved picture does not decode"
size=$(head -c 20 "$E2E_TMP/area.ppm" | sed -n 2p)
[[ $size == "400 200" ]] || fail "F5 saved a picture of $size, expected 400 200"
note "ok: F4 copies 400:200 and F5 saves 400x200 after a drag of many moves"

app_running || fail "the program ended"
echo "pattern screen at scale $scale: all checks passed"
