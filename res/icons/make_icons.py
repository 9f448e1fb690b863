#!/usr/bin/env python3
"""Draws the tool's icons as PNG files next to this script.

Icon 128 (application): a blue rounded square with a white arrow rising out of
a chip, in the sizes a window system asks for (16 to 256 px). Icons 129 and 131
(port closed / open): an 8 x 8 dot with a white ring, red and green, plus the
same design at 16 and 32 px so that larger renderings stay sharp.

Only the standard library is used: shapes are sampled on a 4 x 4 grid per pixel
for smooth edges, and the PNG writer is a few lines of zlib. Run it again after
changing a design; the PNG files are committed.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLES = 4  # sub-samples per pixel along each axis


def write_png(path, size, pixels):
    """pixels: size*size tuples (r, g, b, a), rows top to bottom."""
    raw = bytearray()
    for y in range(size):
        raw.append(0)  # filter: none
        for x in range(size):
            raw.extend(pixels[y * size + x])

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", header))
        f.write(chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
        f.write(chunk(b"IEND", b""))


def render(size, shade):
    """shade(u, v) -> (r, g, b, a) floats for a point of the unit square."""
    pixels = []
    for y in range(size):
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    u = (x + (sx + 0.5) / SAMPLES) / size
                    v = (y + (sy + 0.5) / SAMPLES) / size
                    r, g, b, a = shade(u, v)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if alpha > 0:
                rgb = [c / acc[3] for c in acc[:3]]
            else:
                rgb = [0, 0, 0]
            pixels.append(tuple(int(round(max(0, min(1, c)) * 255)) for c in rgb + [alpha]))
    return pixels


def rounded_rect(u, v, x0, y0, x1, y1, radius):
    cx = min(max(u, x0 + radius), x1 - radius)
    cy = min(max(v, y0 + radius), y1 - radius)
    return (u - cx) ** 2 + (v - cy) ** 2 <= radius ** 2 and x0 <= u <= x1 and y0 <= v <= y1


def in_triangle(u, v, a, b, c):
    def side(p, q, r):
        return (r[0] - q[0]) * (p[1] - q[1]) - (r[1] - q[1]) * (p[0] - q[0])

    d1, d2, d3 = side((u, v), a, b), side((u, v), b, c), side((u, v), c, a)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


def app_icon(u, v):
    white = (1.0, 1.0, 1.0, 1.0)
    # Chip at the bottom with three pins below it.
    if rounded_rect(u, v, 0.24, 0.64, 0.76, 0.78, 0.03):
        return white
    for px in (0.33, 0.47, 0.61):
        if px <= u <= px + 0.06 and 0.78 <= v <= 0.84:
            return white
    # Arrow rising out of the chip.
    if 0.43 <= u <= 0.57 and 0.38 <= v <= 0.62:
        return white
    if in_triangle(u, v, (0.5, 0.16), (0.27, 0.42), (0.73, 0.42)):
        return white
    if rounded_rect(u, v, 0.04, 0.04, 0.96, 0.96, 0.2):
        t = v
        top, bottom = (0.18, 0.50, 0.93), (0.10, 0.30, 0.62)
        return tuple(top[i] + (bottom[i] - top[i]) * t for i in range(3)) + (1.0,)
    return (0.0, 0.0, 0.0, 0.0)


def dot_icon(colour):
    def shade(u, v):
        d = math.hypot(u - 0.5, v - 0.5)
        if d <= 0.30:
            return colour + (1.0,)
        if d <= 0.44:
            return (1.0, 1.0, 1.0, 1.0)
        if d <= 0.5:
            # A faint grey rim, so that the white ring reads on a light dialog.
            return (0.55, 0.55, 0.55, 0.8)
        return (0.0, 0.0, 0.0, 0.0)

    return shade


def main():
    for size in (16, 24, 32, 48, 64, 128, 256):
        write_png(os.path.join(HERE, f"app_{size}.png"), size, render(size, app_icon))
    for name, colour in (("dot_red", (0.86, 0.10, 0.10)), ("dot_green", (0.10, 0.70, 0.20))):
        for size in (8, 16, 32):
            write_png(os.path.join(HERE, f"{name}_{size}.png"), size, render(size, dot_icon(colour)))


if __name__ == "__main__":
    main()
