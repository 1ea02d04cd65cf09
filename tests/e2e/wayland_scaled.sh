#!/usr/bin/env bash
# The screen tools on a scaled Wayland output (headless sway, 1920x1200
# device pixels at the scale given as the argument: 1, 1.5 or 2), over the
# pattern screen (every pixel's colour tells its position), with no native
# window open. X11 programs see the output's logical size there, and sway
# enlarges their windows, while the screenshot portal pictures device pixels.
# Checked against grim's pictures of the real output:
# - the tool window shows the whole output, in place;
# - the pointer, moved as a hand does, picks the device pixel under it, and
#   the arrow keys step one device pixel at a time (F2 and F3 each time, every
#   copy read with wl-paste);
# - a drag over a native window of known size copies (F4) and saves (F5) its
#   size in device pixels, and so does the spacing ruler (F7, then F4), with
#   Shift+F3 giving its colour as rgb(); the save dialog and the message of
#   F5 without a selection show over the tool window and take the keys, and
#   the tool window is full screen again once they are gone;
# - every opening covers the output at once, also with the processors busy.
source "$(dirname "$0")/wayland-lib.sh"
wayland_require xdotool dbus-send wl-paste grim foot djpeg

scale=${1:-1} layout=${2:-}
DEVICE_W=1920 DEVICE_H=1200
install -m 644 /dev/null "$E2E_TMP/pattern.png"
"$VORNIK_TEST_BIN_DIR/e2e/pattern" png "$E2E_TMP/pattern.png" $DEVICE_W $DEVICE_H || fail "cannot draw the pattern"
if [[ $layout == beside ]]; then
    # A second output to the right, at another scale and in one colour: the
    # portal's picture then holds both, the second at the picture's scale.
    other=$([[ $scale == 1 ]] && echo 2 || echo 1)
    WL_SECOND_OUTPUT="mode 1600x1000 position $(python3 -c "print(int($DEVICE_W / $scale))") 0 scale $other bg #808000 solid_color"
fi
start_wayland ${DEVICE_W}x$DEVICE_H "$E2E_TMP/pattern.png" "$scale"
start_portal
start_waybar
install_app
start_app_in_session QT_QPA_PLATFORM=xcb
wait_for_registered_item
wait_for 20 not tool_window_visible || fail "the main window did not hide after start"
note "output of ${DEVICE_W}x$DEVICE_H at scale $scale: X11 sees ${WL_WIDTH}x$WL_HEIGHT${WL_SECOND_OUTPUT:+; beside it: $WL_SECOND_OUTPUT}"

# The device pixel a pointer at a logical position is over.
device() { python3 -c "print(int($1 * $DEVICE_W // $WL_WIDTH))"; }
device_y() { python3 -c "print(int($1 * $DEVICE_H // $WL_HEIGHT))"; }
# The colour of a device pixel of a grim picture, as the readout writes it.
colour_in() {
    python3 - "$@" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
magic, size, maximum, pixels = data.split(b"\n", 3)
w = int(size.split()[0])
at = (int(sys.argv[3]) * w + int(sys.argv[2])) * 3
print("#" + pixels[at:at + 3].hex().upper())
PY
}
# grim runs as the session's account, so its pictures go to a folder of its.
SHOTS="$E2E_TMP/shots"
mkdir "$SHOTS"
chown "$APP_USER:" "$SHOTS"
grim_output() { in_session grim -o HEADLESS-1 -t ppm "$1" || fail "grim could not picture the output"; }

XDO=(in_session xdotool)
# shellcheck source=tests/e2e/walk-lib.sh
source "$(dirname "$0")/walk-lib.sh"
open_at() {
    wl_copy "marker$((++markers))"
    open_tool_window "$1"
    glide "$2" "$3"
}

grim_output "$SHOTS/screen.ppm"

note "the tool window shows the whole output in place"
px=$((WL_WIDTH * 7 / 10)) py=$((WL_HEIGHT * 6 / 10))
open_at "the first opening" $px $py
grim_output "$SHOTS/shown.ppm"
# Left out: the crosshair through the pointer (two window pixels each way,
# enlarged and blurred) and the info panel (laid out in window pixels).
read -r cx cy <<<"$(device $px) $(device_y $py)"
guide=$(python3 -c "import math; print(math.ceil(3 * $scale) + 2)")
panel=$(python3 -c "import math; s = $scale; print(math.floor(328 * s) - 3, math.floor(88 * s) - 3, math.ceil(297 * s) + 6, math.ceil(177 * s) + 6)")
# shellcheck disable=SC2086 # the panel's rectangle is four words
python3 "$(dirname "$0")/picture_match.py" "$SHOTS/screen.ppm" "$SHOTS/shown.ppm" 6 \
    0 $((cy - guide)) $DEVICE_W $((2 * guide)) $((cx - guide)) 0 $((2 * guide)) $DEVICE_H $panel ||
    fail "the tool window does not show the output as grim pictured it"
in_session xdotool key Escape
wait_for 10 not tool_window_visible || fail "Escape did not close the tool window"
note "ok: the picture lines up with the output"

note "the pointer picks the device pixel under it"
for point in "$px $py" "5 $((WL_HEIGHT - 3))" "$((WL_WIDTH - 2)) $((WL_HEIGHT / 2))"; do
    read -r x y <<<"$point"
    read -r dx dy <<<"$(device "$x") $(device_y "$y")"
    want=$(colour_in "$SHOTS/screen.ppm" "$dx" "$dy")
    open_at "F3 at ($x, $y)" "$x" "$y"
    got=$(copied "F3 at ($x, $y)" F3)
    [[ $got == "$want" ]] || fail "F3 at ($x, $y) gave $got; device pixel ($dx, $dy) is $want"
    open_at "F2 at ($x, $y)" $((x - 1)) "$y"
    glide "$x" "$y"
    got=$(copied "F2 at ($x, $y)" F2)
    [[ $got == "$dx:$dy" ]] || fail "F2 at ($x, $y) gave $got, expected $dx:$dy"
done
note "ok: F2 and F3 name the device pixel under the pointer"

note "the arrow keys step one device pixel"
for k in 1 2 3; do
    keys=()
    for ((i = 0; i < k; i++)); do keys+=(Right); done
    want=$(colour_in "$SHOTS/screen.ppm" $((cx + k)) "$cy")
    open_at "$k steps right" $px $py
    got=$(copied "$k steps right" "${keys[@]}" F3)
    [[ $got == "$want" ]] || fail "F3 after $k steps right gave $got; device pixel ($((cx + k)), $cy) is $want"
done
open_at "3 steps right, F2" $px $py
got=$(copied "3 steps right, F2" Right Right Right F2)
[[ $got == "$((cx + 3)):$cy" ]] || fail "F2 after 3 steps right gave $got, expected $((cx + 3)):$cy"
want=$(colour_in "$SHOTS/screen.ppm" "$cx" $((cy + 1)))
open_at "a step down" $px $py
got=$(copied "a step down" Down F3)
[[ $got == "$want" ]] || fail "F3 after a step down gave $got; device pixel ($cx, $((cy + 1))) is $want"
note "ok: every step reaches the next device pixel, and every copy arrives"

note "a selection of a native window of known size"
# A floating foot window in one colour over device pixels (480, 600) to
# (960, 900), placed in logical pixels.
BOX=60c0a0
read -r bx by bw bh <<<"$(python3 -c "s = $scale; print(int(480 / s), int(600 / s), int(480 / s), int(300 / s))")"
in_session foot -o "colors.background=$BOX" -o "colors.foreground=$BOX" -T box sh -c 'exec sleep 3600' \
    >"$E2E_TMP/foot.log" 2>&1 &
E2E_PIDS+=($!)
wait_for 20 focused_window_is box || fail "foot did not open"
sway_cmd "[title=\"^box\$\"] floating enable, resize set width $bw px height $bh px, move absolute position $bx px $by px"
box_in_place() {
    grim_output "$SHOTS/box.ppm"
    [[ $(colour_in "$SHOTS/box.ppm" 481 601) == "#${BOX^^}" && $(colour_in "$SHOTS/box.ppm" 958 898) == "#${BOX^^}" &&
        $(colour_in "$SHOTS/box.ppm" 478 750) != "#${BOX^^}" && $(colour_in "$SHOTS/box.ppm" 962 750) != "#${BOX^^}" &&
        $(colour_in "$SHOTS/box.ppm" 700 597) != "#${BOX^^}" && $(colour_in "$SHOTS/box.ppm" 700 902) != "#${BOX^^}" ]]
}
wait_for 10 box_in_place || fail "foot is not over device pixels (480, 600) to (960, 900): $(sway_window_state box)"

drag_over_box() {
    glide "$bx" "$by"
    in_session xdotool mousedown 1
    glide $((bx + bw / 2)) $((by + bh / 3))
    glide $((bx + bw)) $((by + bh))
    in_session xdotool mouseup 1
    sleep 0.3
}
open_at "F4 of the window" $((bx - 10)) $((by - 10))
drag_over_box
got=$(copied "F4 of the window" F4)
[[ $got == "480:300" ]] || fail "F4 of the window's area gave $got, expected 480:300"
# The spacing ruler from inside the window runs to its edges in device
# pixels; Shift+F3 there gives its colour as rgb(). Where the portal pictures
# this output at the other output's larger scale (scale 1 beside 2), sway
# enlarges it smoothly for that picture and the capture is its reduction:
# the window's outermost pixels there hold some of the border's colour, more
# than the ruler's starting tolerance lets pass, and it stops one pixel
# inside on each side (478:298 in both runs so far).
want_spans=480:300
[[ $layout == beside && $scale == 1 ]] && want_spans=478:298
open_at "F7 over the window" $((bx + bw / 2)) $((by + bh / 2))
got=$(copied "F7 over the window" F7 F4)
[[ $got == "$want_spans" ]] || fail "F7 then F4 over the window gave $got, expected $want_spans"
open_at "Shift+F3 over the window" $((bx + bw / 2)) $((by + bh / 2))
got=$(copied "Shift+F3 over the window" shift+F3)
[[ $got == "rgb(96, 192, 160)" ]] || fail "Shift+F3 over the window gave $got, expected rgb(96, 192, 160)"
note "ok: F7 measures the window's device pixels ($want_spans), Shift+F3 gives its rgb()"

# Sway focuses no window mapped over a full-screen one in its own view; a
# dialog that belongs to the tool window is drawn over it all the same, and
# its keys reach it (Xwayland passes the focus between the windows of one
# program). A dialog is seen where the frozen screen was.
near() { python3 -c "import sys; a, b = bytes.fromhex(sys.argv[1][1:]), bytes.fromhex(sys.argv[2][1:]); sys.exit(max(abs(p - q) for p, q in zip(a, b)) > 24)" "$1" "$2"; }
shown_at() { grim_output "$SHOTS/dialog.ppm"; colour_in "$SHOTS/dialog.ppm" "$1" "$2"; }
covered() { not near "$(shown_at "$1" "$2")" "$(colour_in "$SHOTS/screen.ppm" "$1" "$2")"; }
save_dialog_shown() { [[ -n $(xwayland_window '^Save As$') ]] && covered 900 560; }
tool_window_holds_focus() { sway_covers_output Form1 && focused_window_is Form1; }

# F5 without a selection says so in a box at the middle of the output.
open_at "F5 without a selection" $((bx - 10)) $((by - 10))
in_session xdotool key F5
wait_for 10 covered 960 600 || fail "F5 without a selection showed no message over the tool window"
in_session xdotool key Return
wait_for 10 not covered 960 600 || fail "Return did not close the message"
tool_window_visible || fail "the message took the tool window with it"
in_session xdotool key Escape
wait_for 10 not tool_window_visible || fail "Escape did not close the tool window after the message"

open_at "F5 of the window" $((bx - 10)) $((by - 10))
drag_over_box
in_session xdotool key F5
wait_for 10 save_dialog_shown || fail "F5's dialog is not shown: the screen shows $(shown_at 900 560) where it was $(colour_in "$SHOTS/screen.ppm" 900 560)"
tool_window_holds_focus || fail "with the dialog open the tool window is $(sway_window_state Form1), the focus on '$(sway_window_field --focused name)'"
# Escape cancels the dialog alone: the tool window stays, full screen.
in_session xdotool key Escape
wait_for 10 not save_dialog_shown || fail "Escape did not close the save dialog"
tool_window_visible || fail "Escape in the dialog closed the tool window"
tool_window_holds_focus || fail "after the dialog the tool window is $(sway_window_state Form1), the focus on '$(sway_window_field --focused name)'"
in_session xdotool key F5
wait_for 10 save_dialog_shown || fail "F5's dialog is not shown the second time"
mkdir "$E2E_TMP/out"
chown "$APP_USER:" "$E2E_TMP/out"
target="$E2E_TMP/out/box.jpg"
saved_file() { find "$E2E_TMP/out" -type f -size +0 | head -n 1; }
saved_in_folder() { [[ -n $(saved_file) ]]; }
type_name() {
    in_session xdotool key ctrl+a
    in_session xdotool type --delay 20 "$1"
    sleep 0.3
    in_session xdotool key Return
}
# A name in a folder that does not exist: the dialog takes it, the program
# says it cannot write there, and the tool window stays for another F5. The
# dialog shown again at once gets no focus-in on sway; Qt once counted it
# inactive then, and Return opened a folder typed on the way to the name
# instead of saving.
type_name "$E2E_TMP/none/box.jpg"
wait_for 10 message_box_shown || fail "a name in a missing folder gave no error box"
# (A key of the name may be lost on a busy machine; the box then names what
# arrived.)
grep -qF "Cannot create file \"" "$E2E_TMP/app.log" || fail "the error box's text is not in the program's log"
in_session xdotool key Return
wait_for 10 not message_box_shown || fail "Return did not close the error box"
in_session xdotool key F5
wait_for 10 save_dialog_shown || fail "F5's dialog is not shown after the error box"
tool_window_holds_focus || fail "after the error box the tool window is $(sway_window_state Form1)"
# The name is typed again, over what the box holds, while the dialog is
# still shown: keys typed as it opens may reach it before its name box has
# the focus. The folder is a fresh one of the test's own, so whatever the
# program saves in it is the saved picture, under whatever name.
for ((tries = 1; tries <= 3; tries++)); do
    type_name "$target"
    wait_for 10 saved_in_folder && break
    save_dialog_shown && ! message_box_shown || break
done
saved_in_folder || fail "nothing was saved in $E2E_TMP/out (tries: $tries; the program's windows: $(in_session xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | paste -sd,))"
[[ $(saved_file) == "$target" ]] || note "the picture was saved as $(saved_file), not $target: a key of the name was lost"
target=$(saved_file)
wait_for 10 not tool_window_visible || fail "the tool window stayed open after saving"
djpeg -pnm "$target" >"$E2E_TMP/box-saved.ppm" || fail "the saved picture does not decode"
python3 - "$E2E_TMP/box-saved.ppm" "$BOX" <<'PY' || fail "F5 did not save the window's area"
import sys
data = open(sys.argv[1], "rb").read()
magic, size, maximum, pixels = data.split(b"\n", 3)
w, h = map(int, size.split())
if (w, h) != (480, 300):
    sys.exit(f"F5 saved {w}x{h}, expected 480x300")
want = bytes.fromhex(sys.argv[2])
# The edges hold the window's colour too, where one pixel more or less would
# bring in the pattern around it (JPEG changes colours a little).
for x, y in [(0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1), (w // 2, 0), (w // 2, h - 1), (0, h // 2), (w - 1, h // 2)]:
    got = pixels[(y * w + x) * 3:(y * w + x) * 3 + 3]
    if any(abs(a - b) > 24 for a, b in zip(got, want)):
        sys.exit(f"pixel ({x}, {y}) of the saved picture is {got.hex()}, not the window's {sys.argv[2]}")
PY
note "ok: F4 copies and F5 saves the window's 480x300 device pixels; the dialog takes the keys"

note "every opening covers the output at once, with the processors busy"
sway_cmd '[title="^box$"] kill'
wait_for 10 not focused_window_is box || true
hogs=()
for ((i = 0; i < $(nproc); i++)); do
    sh -c 'while :; do :; done' &
    hogs+=($!)
    E2E_PIDS+=($!)
done
for i in 1 2 3 4 5 6; do
    wl_copy "marker$((++markers))"
    in_session dbus-send --session --print-reply --dest="$item_service" "$item_path" \
        org.kde.StatusNotifierItem.Activate int32:1200 int32:15 >/dev/null || fail "opening $i: Activate was not answered"
    wait_for 30 tool_window_visible || fail "opening $i under load: the tool window did not open"
    # Mapped tiled, the window would show the picture shifted; two seconds
    # is the most a busy sway may take to make it full screen.
    wait_for 2 sway_covers_output Form1 || fail "opening $i under load: the tool window is $(sway_window_state Form1)"
    in_session xdotool key Escape
    wait_for 10 not tool_window_visible || fail "opening $i under load: Escape did not close the tool window"
done
kill "${hogs[@]}"
note "ok: six openings under load, each full screen"

app_running || fail "the program ended"
echo "wayland at scale $scale: all checks passed"
