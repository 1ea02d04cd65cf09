#!/usr/bin/env bash
# Area export end to end: a drag over a desktop of known colour, F5, a file
# name typed into the save dialog, Enter; the file decodes to the selected
# area's size and colour, without the overlay, and the tool window closes.
# The name typed is a dangling symbolic link: the picture replaces the link
# itself, its target is not created, and nothing else is left in the folder.
source "$(dirname "$0")/lib.sh"

start_desktop 1280x800 tray
xsetroot -solid '#204080'
install_app
start_app
wait_for 10 tray_icon_geometry || fail "the icon never docked"
wait_for 5 not main_window_visible || fail "the main window stayed visible"

point_at_tray_icon
sleep 0.2
xdotool click --repeat 2 --delay 60 1
wait_for 15 main_window_visible || fail "the tool window did not open"
sleep 0.5

# F5 before any drag: nothing is asked and nothing written; the window stays.
xdotool mousemove 300 300
sleep 0.3
xdotool key F5
wait_for 5 bash -c "xdotool search --onlyvisible --name '^Vornik Tools$' >/dev/null" || fail "no message for an empty selection"
sleep 0.3
xdotool key Return
wait_for 5 bash -c "! xdotool search --onlyvisible --name '^Vornik Tools$' >/dev/null" || fail "the message stayed"
main_window_visible || fail "the tool window closed without a selection"
note "ok: F5 without a selection says so and saves nothing"

# Drag from bottom-right to top-left: the saved image is upright all the same.
xdotool mousemove 700 380
sleep 0.2
xdotool mousedown 1
xdotool mousemove 650 340
sleep 0.2
xdotool mousemove 600 300
sleep 0.2
xdotool mouseup 1
sleep 0.3
xdotool key F5
dialog_open() { xdotool search --onlyvisible --name 'Save' >/dev/null 2>&1; }
wait_for 10 dialog_open || fail "F5 did not open the save dialog"
sleep 1
OUT="$E2E_TMP/out"
mkdir "$OUT"
target="$OUT/area.bmp"
ln -s "$OUT/elsewhere.bmp" "$target"
chown -R -h "$APP_USER:" "$OUT"
xdotool type --delay 20 "$target"
sleep 0.3
xdotool key Return
wait_for 10 test -s "$target" || fail "nothing was saved to $target"
[[ -f $target && ! -L $target ]] || fail "the link was not replaced by a regular file"
[[ $(ls -A "$OUT") == area.bmp ]] || fail "the folder holds more than the picture: $(ls -A "$OUT" | tr '\n' ' ')"
wait_for 5 not main_window_visible || fail "the tool window stayed open after saving"

head -c 3 "$target" | od -An -tx1 | grep -q 'ff d8 ff' || fail "the file does not hold JPEG data"
djpeg -pnm "$target" >"$E2E_TMP/area.ppm" || fail "the file does not decode"
python3 - "$E2E_TMP/area.ppm" <<'PY' || fail "the decoded picture is not the selected area"
import sys
data = open(sys.argv[1], 'rb').read()
magic, size, maximum, pixels = data.split(b'\n', 3)
width, height = map(int, size.split())
assert (width, height) == (100, 80), (width, height)
worst = 0
for i in range(0, len(pixels), 3):
    r, g, b = pixels[i], pixels[i + 1], pixels[i + 2]
    worst = max(worst, abs(r - 0x20), abs(g - 0x40), abs(b - 0x80))
# The overlay (guides, box) would shift colours far more than JPEG does.
assert worst <= 6, worst
PY
note "ok: F5 saves the selected area as JPEG, upright, without the overlay, and closes"
note "ok: the link named was replaced by the picture, its target was not created, nothing else was left"
echo "export end to end: all checks passed"
