#!/usr/bin/env python3
"""Draws the program's icon (resource 128): a set-top box taking a download arrow.

Writes Stelvar.ico next to this script with 16, 32 and 48 pixel images, 32 bits per pixel
with alpha. Pure Python, deterministic: running it again gives the same bytes.
Usage: python3 res/make_icon.py
"""
import os
import struct

BACKGROUND = (206, 219, 234)  # the program's background colour
RIM = (132, 157, 188)
BOX = (52, 62, 79)
BOX_TOP = (86, 99, 120)
LED = (92, 214, 120)
ARROW = (255, 255, 255)
SUPERSAMPLE = 4


def inside_round_rect(x, y, l, t, r, b, radius):
    if x < l or x >= r or y < t or y >= b:
        return False
    cx = min(max(x, l + radius), r - radius)
    cy = min(max(y, t + radius), b - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def inside_arrow(x, y):
    # Shaft and head of a downward arrow in unit coordinates (0..1).
    if 0.42 <= x <= 0.58 and 0.10 <= y <= 0.40:
        return True
    if 0.38 <= y <= 0.58:
        half = (0.58 - y) / 0.20 * 0.20
        return abs(x - 0.5) <= half
    return False


def shade(u, v, small):
    """Colour of the point (u, v) of the unit square, or None (transparent)."""
    if not inside_round_rect(u, v, 0.0, 0.0, 1.0, 1.0, 0.18):
        return None
    colour = RIM
    if inside_round_rect(u, v, 0.06, 0.06, 0.94, 0.94, 0.13):
        colour = BACKGROUND
    if inside_round_rect(u, v, 0.12, 0.60, 0.88, 0.86, 0.05):
        colour = BOX_TOP if v < 0.66 else BOX
        if inside_round_rect(u, v, 0.70, 0.72, 0.80, 0.78, 0.02):
            colour = LED
    if inside_arrow(u, v) and small:
        colour = BOX  # too small for an outline: a dark arrow instead
    elif inside_arrow(u, v):
        # A thin outline so the white arrow stands out on the light background.
        edge = not (inside_arrow(u - 0.03, v) and inside_arrow(u + 0.03, v) and
                    inside_arrow(u, v - 0.03) and inside_arrow(u, v + 0.03))
        colour = RIM if edge else ARROW
    return colour


def render(size):
    """BGRA rows, bottom-up, as the icon format wants them."""
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            acc = [0, 0, 0]
            alpha = 0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    u = (px + (sx + 0.5) / SUPERSAMPLE) / size
                    v = (py + (sy + 0.5) / SUPERSAMPLE) / size
                    c = shade(u, v, size <= 16)
                    if c is not None:
                        acc = [a + b for a, b in zip(acc, c)]
                        alpha += 1
            n = SUPERSAMPLE * SUPERSAMPLE
            if alpha:
                r, g, b = (round(a / alpha) for a in acc)
            else:
                r = g = b = 0
            row += bytes((b, g, r, round(255 * alpha / n)))
        rows.append(bytes(row))
    return b"".join(reversed(rows))


def icon_image(size):
    pixels = render(size)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytes(mask_stride * size)  # all opaque: the alpha channel decides
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def main():
    sizes = (16, 32, 48)
    images = [icon_image(s) for s in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "Stelvar.ico")
    with open(path, "wb") as f:
        f.write(out)
    print("wrote", path, len(out), "bytes")


if __name__ == "__main__":
    main()
