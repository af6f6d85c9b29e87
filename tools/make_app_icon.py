#!/usr/bin/env python3
"""Draws the player's application icon: data/icons/hicolor/scalable/apps/mirvane.svg and the
PNG sizes 16..256 beside it. The PNGs are drawn from the same shapes as the SVG (sampled 4 x 4
per pixel), so the two agree. Needs only the standard library.

Run from the repository root: python3 tools/make_app_icon.py
"""
import os
import struct
import zlib

SIZES = [16, 22, 24, 32, 48, 64, 128, 256]
ROOT = os.path.join("data", "icons", "hicolor")

# Shapes in a 0..1 square, drawn in this order.
CORNER = 0.18                      # background: rounded square
TOP, BOTTOM = (200, 40, 30), (70, 20, 22)
DISC = (0.5, 0.5, 0.37, (24, 24, 28))   # centre x, y, radius, colour
RING = (0.5, 0.5, 0.30, 0.012, (90, 90, 96))
NOTE = (255, 214, 0)
HEAD = (0.42, 0.655, 0.095)
STEM = (0.475, 0.27, 0.515, 0.655)      # x0, y0, x1, y1
FLAG = (0.515, 0.27, 0.66, 0.345)


def in_round_rect(x, y):
    r = CORNER
    cx = min(max(x, r), 1 - r)
    cy = min(max(y, r), 1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def colour_at(x, y):
    """(r, g, b, a) of one sample point."""
    if not in_round_rect(x, y):
        return (0, 0, 0, 0)
    c = tuple(int(TOP[i] + (BOTTOM[i] - TOP[i]) * y) for i in range(3))
    dx, dy = x - DISC[0], y - DISC[1]
    d2 = dx * dx + dy * dy
    if d2 <= DISC[2] ** 2:
        c = DISC[3]
        if abs(d2 ** 0.5 - RING[2]) <= RING[3]:
            c = RING[4]
    hx, hy = x - HEAD[0], y - HEAD[1]
    if hx * hx + hy * hy <= HEAD[2] ** 2:
        c = NOTE
    for x0, y0, x1, y1 in (STEM, FLAG):
        if x0 <= x <= x1 and y0 <= y <= y1:
            c = NOTE
    return c + (255,)


def png(size):
    rows = []
    n = 4
    for py in range(size):
        row = bytearray([0])
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    r, g, b, a = colour_at((px + (sx + 0.5) / n) / size,
                                           (py + (sy + 0.5) / n) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            a = acc[3]
            if a == 0:
                row += bytes(4)
            else:
                row += bytes([acc[0] // a, acc[1] // a, acc[2] // a, a // (n * n)])
        rows.append(bytes(row))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


def svg():
    s = 256
    def f(v):
        return "%g" % round(v * s, 3)
    def rgb(c):
        return "#%02x%02x%02x" % c
    return f"""<svg xmlns="http://www.w3.org/2000/svg" width="{s}" height="{s}" viewBox="0 0 {s} {s}">
  <defs>
    <linearGradient id="back" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="{rgb(TOP)}"/>
      <stop offset="1" stop-color="{rgb(BOTTOM)}"/>
    </linearGradient>
  </defs>
  <rect width="{s}" height="{s}" rx="{f(CORNER)}" fill="url(#back)"/>
  <circle cx="{f(DISC[0])}" cy="{f(DISC[1])}" r="{f(DISC[2])}" fill="{rgb(DISC[3])}"/>
  <circle cx="{f(RING[0])}" cy="{f(RING[1])}" r="{f(RING[2])}" fill="none" stroke="{rgb(RING[4])}" stroke-width="{f(RING[3] * 2)}"/>
  <circle cx="{f(HEAD[0])}" cy="{f(HEAD[1])}" r="{f(HEAD[2])}" fill="{rgb(NOTE)}"/>
  <rect x="{f(STEM[0])}" y="{f(STEM[1])}" width="{f(STEM[2] - STEM[0])}" height="{f(STEM[3] - STEM[1])}" fill="{rgb(NOTE)}"/>
  <rect x="{f(FLAG[0])}" y="{f(FLAG[1])}" width="{f(FLAG[2] - FLAG[0])}" height="{f(FLAG[3] - FLAG[1])}" fill="{rgb(NOTE)}"/>
</svg>
"""


def main():
    d = os.path.join(ROOT, "scalable", "apps")
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "mirvane.svg"), "w") as out:
        out.write(svg())
    for size in SIZES:
        d = os.path.join(ROOT, "%dx%d" % (size, size), "apps")
        os.makedirs(d, exist_ok=True)
        with open(os.path.join(d, "mirvane.png"), "wb") as out:
            out.write(png(size))


if __name__ == "__main__":
    main()
