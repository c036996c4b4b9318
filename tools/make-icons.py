#!/usr/bin/env python3
"""Draws the program icon (a note with a quill) as PNG files in res/icons/.

Pure Python, so that it runs anywhere; the PNGs are committed and this script only reruns
when the drawing changes. Shapes are sampled 4x4 per pixel for smooth edges."""
import os
import struct
import sys
import zlib

SIZES = (16, 22, 32, 48, 64, 128, 256)
SS = 4  # samples per pixel along each axis

PAPER = (255, 246, 196)
EDGE = (176, 140, 40)
FOLD = (236, 214, 140)
LINE = (110, 146, 196)
QUILL = (60, 52, 110)
NIB = (30, 30, 30)


def inside_polygon(x, y, pts):
    c = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            c = not c
        j = i
    return c


def shade(u, v):
    """Colour (r, g, b, a) at unit coordinates u, v in [0, 1)."""
    # The quill: a feather from the lower left to the upper right, drawn over the paper.
    feather = [(0.30, 0.80), (0.62, 0.30), (0.94, 0.04), (0.86, 0.34), (0.40, 0.82)]
    if inside_polygon(u, v, feather):
        return QUILL + (255,)
    nib = [(0.30, 0.80), (0.40, 0.82), (0.22, 0.96)]
    if inside_polygon(u, v, nib):
        return NIB + (255,)
    # The note: a sheet with its upper right corner folded down.
    left, top, right, bottom, fold = 0.10, 0.08, 0.80, 0.94, 0.20
    if left <= u <= right and top <= v <= bottom:
        if u - (right - fold) > v - top:
            return (0, 0, 0, 0)
        if u > right - fold and v < top + fold:
            return FOLD + (255,)
        edge = 0.035
        if u < left + edge or u > right - edge or v < top + edge or v > bottom - edge:
            return EDGE + (255,)
        if abs(u - (right - fold) - (v - top)) < edge * 0.7:
            return EDGE + (255,)
        for k in range(4):
            ly = 0.38 + k * 0.14
            if abs(v - ly) < 0.025 and left + 0.10 < u < right - 0.10:
                return LINE + (255,)
        return PAPER + (255,)
    return (0, 0, 0, 0)


def render(size):
    rows = []
    for y in range(size):
        row = bytearray([0])
        for x in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SS):
                for sx in range(SS):
                    r, g, b, a = shade((x + (sx + 0.5) / SS) / size, (y + (sy + 0.5) / SS) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] / (SS * SS)
            if acc[3]:
                row += bytes((round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]), round(alpha)))
            else:
                row += bytes((0, 0, 0, 0))
        rows.append(bytes(row))
    return b"".join(rows)


def png(size, pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b"")


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "res", "icons")
    os.makedirs(out, exist_ok=True)
    for size in SIZES:
        with open(os.path.join(out, "quillpad-%d.png" % size), "wb") as f:
            f.write(png(size, render(size)))


if __name__ == "__main__":
    main()
