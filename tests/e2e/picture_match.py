#!/usr/bin/env python3
"""Checks that a screenshot shows the same picture as another, in place.

    picture_match.py BEFORE.ppm DURING.ppm TOLERANCE [X Y W H]...

BEFORE is the screen as it was, DURING the screen while something shows a
picture of it, perhaps with fewer pixels enlarged again, which blurs it a
little. Every fourth pixel of each fourth row is compared, leaving out the
rectangles given (what is drawn over the picture) and the pixels of BEFORE
where the screen changes sharply within two pixels, where a blur may differ
by more than the tolerance. The compared pixels must differ by at most
TOLERANCE in each channel, and at least half of all samples must be
compared. Prints what it compared and the first differences; exits 1 when
the two do not match.
"""
import sys

from overlay_check import read_ppm


def main():
    w, h, before = read_ppm(sys.argv[1])
    w2, h2, during = read_ppm(sys.argv[2])
    if (w, h) != (w2, h2):
        sys.exit(f"the screenshots differ in size: {w}x{h} and {w2}x{h2}")
    tolerance = int(sys.argv[3])
    numbers = list(map(int, sys.argv[4:]))
    skipped = [numbers[i:i + 4] for i in range(0, len(numbers) - 3, 4)]

    def pixel(picture, x, y):
        at = (y * w + x) * 3
        return picture[at:at + 3]

    def near(a, b, limit):
        return all(abs(p - q) <= limit for p, q in zip(a, b))

    samples = compared = 0
    differences = []
    for y in range(2, h - 2, 4):
        for x in range(2, w - 2, 4):
            samples += 1
            if any(sx <= x < sx + sw and sy <= y < sy + sh for sx, sy, sw, sh in skipped):
                continue
            old = pixel(before, x, y)
            if not all(near(old, pixel(before, x + dx, y + dy), 8) for dx, dy in ((-2, 0), (2, 0), (0, -2), (0, 2))):
                continue
            compared += 1
            new = pixel(during, x, y)
            if not near(old, new, tolerance):
                differences.append((x, y, old.hex(), new.hex()))
    print(f"compared {compared} of {samples} samples, {len(differences)} differ by more than {tolerance}")
    for x, y, old, new in differences[:10]:
        print(f"  ({x}, {y}): the screen was {old}, shown {new}")
    if compared * 2 < samples:
        sys.exit("too few samples could be compared")
    sys.exit(1 if differences else 0)


if __name__ == "__main__":
    main()
