#!/usr/bin/env bash
# Makes the pictures of the README and the metainfo again, on a private
# desktop with the end-to-end helpers: the tray menu, the screen tools with
# the panel and a selection, the save dialog, and the spacing ruler across a
# disc. Writes docs/*.png.
# Not part of the test run; run it after a change of the look:
#
#   tests/e2e/screenshots.sh
#   VORNIK_BIN, VORNIK_TEST_BIN_DIR   a program and an xshot already built
#                                     (by default the "default" preset is built)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
if [[ -z ${VORNIK_BIN:-} ]]; then
    "$root/scripts/build.sh" default vornik-tools xshot
    export VORNIK_BIN=$root/build/default/app/vornik-tools VORNIK_TEST_BIN_DIR=$root/build/default/tests
fi
source "$root/tests/e2e/lib.sh"
docs=$root/docs

# A desktop with something to measure: discs tiled over a plain colour.
start_desktop 960x600 tray
python3 - "$E2E_TMP/desktop.xbm" <<'PY'
import sys
size, radius = 200, 56
bits = []
for y in range(size):
    for x in range(0, size, 8):
        byte = 0
        for bit in range(8):
            dx, dy = x + bit - size / 2 + 0.5, y - size / 2 + 0.5
            byte |= (dx * dx + dy * dy <= radius * radius) << bit
        bits.append(byte)
body = ",\n".join(",".join("0x%02x" % b for b in bits[i:i + 12]) for i in range(0, len(bits), 12))
open(sys.argv[1], "w").write(
    f"#define d_width {size}\n#define d_height {size}\nstatic unsigned char d_bits[] = {{\n{body}}};\n")
PY
xsetroot -bitmap "$E2E_TMP/desktop.xbm" -fg '#e8b03c' -bg '#204080'
install_app
# The save dialog opens in the folder the program was started from.
mkdir -p "$E2E_TMP/Pictures"
cd "$E2E_TMP/Pictures"
start_app
wait_for 10 tray_icon_geometry || fail "the icon never docked"
wait_for 5 not main_window_visible || fail "the main window stayed visible"

# shoot NAME X Y W H: that part of the screen as docs/NAME.png.
shoot() {
    local name=$1
    "$VORNIK_TEST_BIN_DIR/e2e/xshot" --ppm "$E2E_TMP/screen.ppm" || fail "cannot read the screen"
    python3 - "$E2E_TMP/screen.ppm" "$docs/$name.png" "${@:2}" <<'PY'
import struct, sys, zlib
source, target = sys.argv[1], sys.argv[2]
x, y, w, h = map(int, sys.argv[3:7])
data = open(source, "rb").read()
magic, size, maximum, pixels = data.split(b"\n", 3)
width, height = map(int, size.split())
x, y = max(0, x), max(0, y)
w, h = min(w, width - x), min(h, height - y)
raw = b"".join(b"\0" + pixels[((y + r) * width + x) * 3:((y + r) * width + x + w) * 3] for r in range(h))
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
open(target, "wb").write(png)
print(f"{target}: {w} x {h}, {len(png)} bytes")
PY
}

# The tray menu, with the tray it opens from.
open_tray_menu
sleep 0.5
read -r mx my mw mh <<<"$(menu_geometry)"
read -r ix iy iw ih <<<"$(tray_icon_geometry)"
left=$((mx < ix ? mx : ix)); right=$((mx + mw > ix + iw ? mx + mw : ix + iw))
top=$((my < iy ? my : iy)); bottom=$((my + mh > iy + ih ? my + mh : iy + ih))
shoot tray-menu $((left - 12)) $((top - 4)) $((right - left + 24)) $((bottom - top + 16))
xdotool key Escape
wait_for 5 not menu_geometry || fail "the menu did not close"

# The screen tools: a selection dragged out, the panel beside it.
point_at_tray_icon
sleep 0.2
xdotool click --repeat 2 --delay 60 1
wait_for 5 main_window_visible || fail "the tool window did not open"
sleep 0.5
xdotool mousemove 240 180
sleep 0.2
xdotool mousedown 1
for step in 1 2 3 4; do xdotool mousemove $((240 + step * 50)) $((180 + step * 30)); sleep 0.1; done
xdotool mouseup 1
sleep 0.2
xdotool mousemove 441 301
sleep 0.5
shoot screen-tools 0 0 960 600

# F5: the save dialog over the tools.
xdotool key F5
dialog() { xdotool search --onlyvisible --name 'Save' 2>/dev/null | head -n 1; }
wait_for 10 dialog || fail "F5 did not open the save dialog"
sleep 1
read -r X Y WIDTH HEIGHT <<<"$(xwininfo -id "$(dialog)" | awk '/Absolute upper-left X/ { x = $NF }
    /Absolute upper-left Y/ { y = $NF } /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x, y, w, h }')"
# The frame that openbox adds: a title bar above, a border around.
shoot save-dialog $((X - 4)) $((Y - 24)) $((WIDTH + 8)) $((HEIGHT + 28))
xdotool key Escape
wait_for 5 not dialog || fail "the save dialog did not close"
xdotool key Escape
wait_for 5 not main_window_visible || fail "Escape did not close the tool window"

# F7: the spacing ruler from a point inside a disc to the disc's rim, the
# tolerance just raised (Page Up), with the note that shows it.
point_at_tray_icon
sleep 0.2
xdotool click --repeat 2 --delay 60 1
wait_for 5 main_window_visible || fail "the tool window did not open"
sleep 0.5
xdotool mousemove 670 480
sleep 0.3
xdotool key F7
sleep 0.3
xdotool key Page_Up
sleep 0.3
shoot spacing-ruler 540 360 300 240
xdotool key Escape
echo "screenshots: written to $docs"
