#!/usr/bin/env python3
"""Draws the program icon "ZAVUVI" and writes it as a .ico file.

The picture is a small framed landscape (sky, sun, two hills) on a rounded
card: an image viewer's icon. It is drawn by
supersampling simple shapes, at 16, 24, 32 and 48 pixels, 32-bit with alpha.
"""
import math
import struct
import sys

SIZES = (16, 24, 32, 48)
SAMPLES = 4  # supersampling per axis


def inside_rounded(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def shade(u, v):
    """Colour (r, g, b, a) of the icon at unit coordinates u, v in [0, 1)."""
    # The card: a dark outline, a white mat, then the picture.
    if not inside_rounded(u, v, 0.06, 0.10, 0.94, 0.90, 0.08):
        return (0, 0, 0, 0)
    border = not inside_rounded(u, v, 0.12, 0.16, 0.88, 0.84, 0.04)
    if border:
        return (245, 245, 240, 255) if inside_rounded(u, v, 0.08, 0.12, 0.92, 0.88, 0.07) else (70, 70, 90, 255)
    # Sky: a vertical gradient from deep to light blue.
    t = (v - 0.16) / 0.68
    sky = (int(40 + 120 * t), int(90 + 120 * t), int(200 + 40 * t), 255)
    # Sun.
    if (u - 0.68) ** 2 + (v - 0.34) ** 2 < 0.09 ** 2:
        return (255, 200, 40, 255)
    # Hills: two sine-shaped ridges, the near one darker.
    far = 0.62 - 0.10 * math.sin((u - 0.10) * math.pi * 1.6)
    near = 0.72 - 0.08 * math.sin((u + 0.35) * math.pi * 2.0)
    if v > near:
        return (30, 120, 50, 255)
    if v > far:
        return (70, 170, 80, 255)
    return sky


def render(size):
    """Returns rows (top first) of (b, g, r, a) tuples."""
    rows = []
    n = SAMPLES * SAMPLES
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    u = (x + (sx + 0.5) / SAMPLES) / size
                    v = (y + (sy + 0.5) / SAMPLES) / size
                    r, g, b, a = shade(u, v)
                    acc[0] += b * a
                    acc[1] += g * a
                    acc[2] += r * a
                    acc[3] += a
            a = acc[3] / n
            if acc[3]:
                px = (round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]), round(a))
            else:
                px = (0, 0, 0, 0)
            row.append(px)
        rows.append(row)
    return rows


def icon_image(size):
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        for b, g, r, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, px in enumerate(row):
            if px[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def main():
    images = [icon_image(s) for s in SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(SIZES)))
    offset = 6 + 16 * len(SIZES)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
