#!/usr/bin/env python3
"""Draws the program's 32 x 32 icon, a stylised "@" over a crosshair on a
pale disc, and writes it as an indexed PNG of at most 256 colours to
widgets/resources/vornik-tools.png (or the path given as the argument).

Every pixel is sampled 8 x 8 times and the shapes are composed front to back
from their coverage, so edges come out smooth; the result is then reduced
to a palette with transparency. Only the standard library is used."""

import math
import struct
import sys
import zlib
from pathlib import Path

SIZE = 32
SAMPLES = 8
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


def render():
    pixels = []
    for row in range(SIZE):
        line = []
        for col in range(SIZE):
            totals = [0, 0, 0]
            covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    px = col + (sx + 0.5) / SAMPLES
                    py = row + (sy + 0.5) / SAMPLES
                    for test, colour in LAYERS:
                        if test(px, py):
                            for i in range(3):
                                totals[i] += colour[i]
                            covered += 1
                            break
            if covered == 0:
                line.append((0, 0, 0, 0))
            else:
                alpha = round(255 * covered / (SAMPLES * SAMPLES))
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
    raw = b"".join(b"\x00" + bytes(line) for line in rows)
    alphas = bytes(p[3] for p in palette)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 3, 0, 0, 0))
    png += chunk(b"PLTE", b"".join(bytes(p[:3]) for p in palette))
    png += chunk(b"tRNS", alphas.rstrip(b"\xff") or b"\xff")
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    Path(path).write_bytes(png)


def main():
    root = Path(__file__).resolve().parent.parent
    target = sys.argv[1] if len(sys.argv) > 1 else root / "widgets" / "resources" / "vornik-tools.png"
    palette, rows = reduce(render())
    write_png(target, palette, rows)
    print(f"{target}: {SIZE} x {SIZE}, {len(palette)} colours")


if __name__ == "__main__":
    main()
