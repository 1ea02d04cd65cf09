#!/usr/bin/env python3
"""Draws the program's icon, a stylised "@" over a crosshair on a pale disc.

    make-icon.py [PATH]   the 32 x 32 tray icon, by default to
                          widgets/resources/vornik-tools.png
    make-icon.py --theme  every size of the installed icon, into
                          dist/icons/hicolor/ (NxN PNGs and a scalable SVG)

Every pixel is sampled several times per axis (8 up to 64 x 64, fewer above,
where the pixels are small anyway) and the shapes are composed front to back
from their coverage, so edges come out smooth; the result is then reduced
to a palette with transparency and written as an indexed PNG. The shapes are
laid out on a 32 x 32 grid; the SVG draws the same shapes. Only the standard
library is used."""

import math
import struct
import sys
import zlib
from pathlib import Path

GRID = 32
THEME_SIZES = (32, 48, 64, 128, 256)
CENTRE = (16.0, 16.0)

CREAM = (244, 240, 229)
NAVY = (28, 52, 104)
RED = (206, 48, 32)


def ring(px, py, cx, cy, radius, width):
    return abs(math.hypot(px - cx, py - cy) - radius) <= width / 2


def capsule(px, py, ax, ay, bx, by, width):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy)) <= width / 2


def at_sign(px, py):
    cx, cy = CENTRE
    x, y = px - cx, py - cy
    # The bowl of the "a" and its stem on the right.
    if ring(x, y, -0.5, 0.0, 3.6, 2.2):
        return True
    if capsule(x, y, 3.1, -4.2, 3.1, 2.4, 2.2):
        return True
    # The tail that leaves the stem and turns up into the outer arc.
    if capsule(x, y, 3.1, 2.4, 5.4, 4.3, 2.2) or capsule(x, y, 5.4, 4.3, 8.2, 3.4, 2.2):
        return True
    if capsule(x, y, 8.2, 3.4, 9.6, 1.6, 2.2):
        return True
    # The outer arc, open at the lower right between the tail and its end.
    if ring(x, y, 0.0, 0.0, 9.8, 2.2):
        angle = math.degrees(math.atan2(y, x)) % 360
        return not 12 < angle < 52
    return False


def crosshair(px, py):
    cx, cy = CENTRE
    x, y = px - cx, py - cy
    r = math.hypot(x, y)
    arm = (abs(x) <= 0.8 or abs(y) <= 0.8) and 11.6 <= r <= 15.6
    centre_dot = r <= 1.3
    return arm or centre_dot


def disc(px, py):
    return math.hypot(px - CENTRE[0], py - CENTRE[1]) <= 15.6


def rim(px, py):
    return ring(px, py, CENTRE[0], CENTRE[1], 15.0, 1.2)


# Layers from top to bottom; the first one a sample falls in gives its colour.
LAYERS = [(crosshair, RED), (at_sign, NAVY), (rim, NAVY), (disc, CREAM)]


def render(size):
    samples = 8 if size <= 64 else 4
    scale = GRID / size
    pixels = []
    for row in range(size):
        line = []
        for col in range(size):
            totals = [0, 0, 0]
            covered = 0
            for sy in range(samples):
                for sx in range(samples):
                    px = (col + (sx + 0.5) / samples) * scale
                    py = (row + (sy + 0.5) / samples) * scale
                    for test, colour in LAYERS:
                        if test(px, py):
                            for i in range(3):
                                totals[i] += colour[i]
                            covered += 1
                            break
            if covered == 0:
                line.append((0, 0, 0, 0))
            else:
                alpha = round(255 * covered / (samples * samples))
                line.append(tuple(round(t / covered) for t in totals) + (alpha,))
        pixels.append(line)
    return pixels


def reduce(pixels):
    """Rounds colours until at most 256 remain; returns palette and indices."""
    step = 1
    while True:
        def snap(p):
            if p[3] == 0:
                return (0, 0, 0, 0)
            return tuple(min(255, round(c / step) * step) for c in p)

        snapped = [[snap(p) for p in line] for line in pixels]
        palette = sorted({p for line in snapped for p in line}, key=lambda p: (p[3] == 255, p))
        if len(palette) <= 256:
            index = {p: i for i, p in enumerate(palette)}
            return palette, [[index[p] for p in line] for line in snapped]
        step *= 2


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, palette, rows):
    size = len(rows)
    raw = b"".join(b"\x00" + bytes(line) for line in rows)
    alphas = bytes(p[3] for p in palette)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 3, 0, 0, 0))
    png += chunk(b"PLTE", b"".join(bytes(p[:3]) for p in palette))
    png += chunk(b"tRNS", alphas.rstrip(b"\xff") or b"\xff")
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    Path(path).write_bytes(png)


def hex_colour(colour):
    return "#%02x%02x%02x" % colour


def svg():
    """The same shapes as the layers above, bottom to top, as SVG."""
    cx, cy = CENTRE
    navy, red, cream = hex_colour(NAVY), hex_colour(RED), hex_colour(CREAM)

    def at_point(angle, radius=9.8):
        a = math.radians(angle)
        return cx + radius * math.cos(a), cy + radius * math.sin(a)

    stem = [(3.1, -4.2), (3.1, 2.4), (5.4, 4.3), (8.2, 3.4), (9.6, 1.6)]
    stem_path = " ".join(("M" if i == 0 else "L") + f"{cx + x:g},{cy + y:g}" for i, (x, y) in enumerate(stem))
    (sx, sy), (ex, ey) = at_point(52), at_point(12)
    arm = 0.8
    arms = "".join(
        f'<rect x="{x:g}" y="{y:g}" width="{w:g}" height="{h:g}"/>'
        for x, y, w, h in [
            (cx - arm, cy - 15.6, 2 * arm, 4.0),
            (cx - arm, cy + 11.6, 2 * arm, 4.0),
            (cx - 15.6, cy - arm, 4.0, 2 * arm),
            (cx + 11.6, cy - arm, 4.0, 2 * arm),
        ]
    )
    return (
        '<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">\n'
        f'<circle cx="{cx:g}" cy="{cy:g}" r="15.6" fill="{cream}"/>\n'
        f'<circle cx="{cx:g}" cy="{cy:g}" r="15" fill="none" stroke="{navy}" stroke-width="1.2"/>\n'
        f'<g fill="none" stroke="{navy}" stroke-width="2.2">'
        f'<circle cx="{cx - 0.5:g}" cy="{cy:g}" r="3.6"/>'
        f'<path d="{stem_path}" stroke-linecap="round" stroke-linejoin="round"/>'
        f'<path d="M{sx:.3f},{sy:.3f} A9.8,9.8 0 1 1 {ex:.3f},{ey:.3f}"/></g>\n'
        f'<g fill="{red}">{arms}<circle cx="{cx:g}" cy="{cy:g}" r="1.3"/></g>\n'
        "</svg>\n"
    )


def write_icon(target, size):
    palette, rows = reduce(render(size))
    write_png(target, palette, rows)
    print(f"{target}: {size} x {size}, {len(palette)} colours")


def main():
    root = Path(__file__).resolve().parent.parent
    if sys.argv[1:] == ["--theme"]:
        theme = root / "dist" / "icons" / "hicolor"
        for size in THEME_SIZES:
            folder = theme / f"{size}x{size}" / "apps"
            folder.mkdir(parents=True, exist_ok=True)
            write_icon(folder / "vornik-tools.png", size)
        folder = theme / "scalable" / "apps"
        folder.mkdir(parents=True, exist_ok=True)
        (folder / "vornik-tools.svg").write_text(svg())
        print(f"{folder / 'vornik-tools.svg'}: scalable")
        return
    target = sys.argv[1] if len(sys.argv) > 1 else root / "widgets" / "resources" / "vornik-tools.png"
    write_icon(target, GRID)


if __name__ == "__main__":
    main()
