#!/usr/bin/env python3
"""Checks a screenshot of the tool window against the screen it froze.

    overlay_check.py BEFORE.ppm AFTER.ppm X1 Y1 X2 Y2 [PANEL_X PANEL_Y PANEL_W PANEL_H]

BEFORE is the screen just before the tool window opened, AFTER the screen
with the tool window showing a selection from (X1, Y1) to (X2, Y2). Every
pixel of AFTER outside the panel's rectangle must be exactly what the
overlay makes of BEFORE's pixel: red guides through the start corner, blue
guides through the end corner (each two pixels wide, alpha 120), then the box
(white fill at alpha 10 over the selected pixels, black at alpha 150 over
them and the ring one pixel around them). Prints the first differences and
exits 1 when there are any.
"""
import sys


def read_ppm(path):
    data = open(path, "rb").read()
    magic, size, maximum, pixels = data.split(b"\n", 3)
    assert magic == b"P6" and maximum == b"255", path
    width, height = map(int, size.split())
    return width, height, pixels


def blend(p, c, alpha):
    return ((c - p) * alpha + p * 256) >> 8


def main():
    before, after = sys.argv[1], sys.argv[2]
    x1, y1, x2, y2 = map(int, sys.argv[3:7])
    panel = tuple(map(int, sys.argv[7:11])) if len(sys.argv) >= 11 else None
    w, h, old = read_ppm(before)
    w2, h2, new = read_ppm(after)
    if (w, h) != (w2, h2):
        sys.exit(f"the screenshots differ in size: {w}x{h} and {w2}x{h2}")
    left, right, top, bottom = min(x1, x2), max(x1, x2), min(y1, y2), max(y1, y2)

    def lines_at(v):
        return {c for c in (v - 1, v) if c >= 0}

    red_cols, red_rows = lines_at(x1), lines_at(y1)
    blue_cols, blue_rows = lines_at(x2), lines_at(y2)
    line_cols = sorted(red_cols | blue_cols)
    box = right > left or bottom > top
    differences = []
    count = 0
    for y in range(h):
        row = y * w * 3
        want = bytearray(old[row:row + w * 3])
        # Only the guides' columns, and the box's rows, differ from the frozen screen.
        affected = set(line_cols)
        if y in red_rows or y in blue_rows or (box and top - 1 <= y <= bottom):
            affected = range(w)
        for x in affected:
            i = x * 3
            p = list(want[i:i + 3])
            for cols, rows, colour in ((red_cols, red_rows, (255, 0, 0)), (blue_cols, blue_rows, (0, 0, 255))):
                if x in cols:
                    p = [blend(v, c, 120) for v, c in zip(p, colour)]
                if y in rows:
                    p = [blend(v, c, 120) for v, c in zip(p, colour)]
            if left <= x < right and top <= y < bottom:
                p = [blend(v, 255, 10) for v in p]
            if box and left - 1 <= x <= right and top - 1 <= y <= bottom:
                p = [blend(v, 0, 150) for v in p]
            want[i:i + 3] = bytes(p)
        got = new[row:row + w * 3]
        if got == want:
            continue
        for x in range(w):
            if panel and panel[0] <= x < panel[0] + panel[2] and panel[1] <= y < panel[1] + panel[3]:
                continue
            i = x * 3
            if got[i:i + 3] != want[i:i + 3]:
                count += 1
                if len(differences) < 10:
                    differences.append((x, y, list(got[i:i + 3]), list(want[i:i + 3])))
                bounds = (x, y, x, y) if count == 1 else (min(bounds[0], x), min(bounds[1], y), max(bounds[2], x), max(bounds[3], y))
    if differences:
        print(f"{count} pixels differ from the overlay over the frozen screen, for example:")
        for x, y, got, want in differences:
            print(f"  ({x}, {y}): {bytes(got).hex()} instead of {bytes(want).hex()}")
        print(f"  within x {bounds[0]}..{bounds[2]}, y {bounds[1]}..{bounds[3]}")
        sys.exit(1)


if __name__ == "__main__":
    main()
