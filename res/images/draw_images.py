#!/usr/bin/env python3
"""Draws the program's icon (resource 128) and picture (resource 133) at 1x and 2x.

Pure Python (zlib only). Shapes are drawn 4x supersampled for smooth edges.
Run from any directory: python3 res/images/draw_images.py
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def write_png(path, width, height, pixels):
    """pixels: list of rows of (r, g, b, a) tuples."""
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def render(width, height, shade, samples=4):
    """shade(x, y) -> (r, g, b, a) in unit coordinates 0..1; averaged over samples x samples."""
    rows = []
    for py in range(height):
        row = []
        for px in range(width):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / width
                    y = (py + (sy + 0.5) / samples) / height
                    r, g, b, a = shade(x, y)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = samples * samples
            alpha = acc[3] / n
            if alpha > 0:
                color = tuple(int(round(min(255, acc[i] / acc[3]))) for i in range(3))
            else:
                color = (0, 0, 0)
            row.append(color + (int(round(alpha * 255)),))
        rows.append(row)
    return rows


def over(top, bottom):
    r1, g1, b1, a1 = top
    r2, g2, b2, a2 = bottom
    a = a1 + a2 * (1 - a1)
    if a == 0:
        return (0, 0, 0, 0)
    mix = lambda c1, c2: (c1 * a1 + c2 * a2 * (1 - a1)) / a
    return (mix(r1, r2), mix(g1, g2), mix(b1, b2), a)


def rounded_rect(x, y, x0, y0, x1, y1, radius):
    cx = min(max(x, x0 + radius), x1 - radius)
    cy = min(max(y, y0 + radius), y1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def near_segment(x, y, ax, ay, bx, by, width, aspect=1.0):
    dx, dy = (bx - ax) * aspect, by - ay
    px, py = (x - ax) * aspect, y - ay
    t = max(0.0, min(1.0, (px * dx + py * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - t * dx, py - t * dy) <= width


def near_arc(x, y, cx, cy, radius, start, end, width, aspect=1.0):
    px, py = (x - cx) * aspect, y - cy
    angle = math.atan2(py, px)
    if not (start <= angle <= end):
        return False
    return abs(math.hypot(px, py) - radius) <= width


# A teal tile with a white question mark and an amber dot: the quiz.
def icon(x, y):
    color = (0, 0, 0, 0)
    if rounded_rect(x, y, 0.03, 0.03, 0.97, 0.97, 0.18):
        t = y
        color = (20 + 20 * t, 120 - 40 * t, 150 - 30 * t, 1.0)
        if near_arc(x, y, 0.5, 0.36, 0.17, -math.pi * 1.0, math.pi * 0.45, 0.065) or near_segment(
            x, y, 0.565, 0.52, 0.5, 0.6, 0.065
        ) or near_segment(x, y, 0.5, 0.6, 0.5, 0.66, 0.065):
            color = (255, 255, 255, 1.0)
        if (x - 0.5) ** 2 + (y - 0.8) ** 2 <= 0.075 ** 2:
            color = (255, 190, 40, 1.0)
    return color


# A calm landscape: sky, sun, two hills and a path of five dots (A to E) that rise.
def picture(x, y):
    aspect = 142 / 79
    sky = (235 - 60 * y, 244 - 40 * y, 250, 1.0)
    color = sky
    sx, sy = 0.8, 0.28
    if ((x - sx) * aspect) ** 2 + (y - sy) ** 2 <= 0.13 ** 2:
        color = (255, 200, 70, 1.0)
    hill1 = 0.62 + 0.12 * math.cos((x - 0.2) * 4.0)
    hill2 = 0.74 + 0.08 * math.cos((x - 0.75) * 5.0)
    if y >= hill1:
        color = (90, 160, 110, 1.0)
    if y >= hill2:
        color = (50, 120, 90, 1.0)
    for i in range(5):
        dx = 0.12 + i * 0.13
        dy = 0.55 - i * 0.08
        if ((x - dx) * aspect) ** 2 + (y - dy) ** 2 <= 0.045 ** 2:
            color = over((255, 255, 255, 0.95), color)
    if near_segment(x, y, 0.005, 0.01, 0.995, 0.01, 0.01) or near_segment(x, y, 0.005, 0.99, 0.995, 0.99, 0.01):
        color = (60, 90, 110, 1.0)
    if near_segment(x, y, 0.003, 0.0, 0.003, 1.0, 0.006, aspect) or near_segment(x, y, 0.997, 0.0, 0.997, 1.0, 0.006, aspect):
        color = (60, 90, 110, 1.0)
    return color


def main():
    for scale, suffix in ((1, ""), (2, "@2x")):
        write_png(os.path.join(HERE, "icon128%s.png" % suffix), 32 * scale, 32 * scale, render(32 * scale, 32 * scale, icon))
        write_png(
            os.path.join(HERE, "picture133%s.png" % suffix), 142 * scale, 79 * scale, render(142 * scale, 79 * scale, picture)
        )


if __name__ == "__main__":
    main()
