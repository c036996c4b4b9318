#!/usr/bin/env python3
"""Draws the program icon (a note with a quill) and the toolbar images as PNG files in res/icons/.

Pure Python, so that it runs anywhere; the PNGs are committed and this script only reruns
when a drawing changes. Shapes are sampled 4x4 per pixel for smooth edges."""
import math
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


def render(size, shade=shade):
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


# ---------------------------------------------------------------------------------------------
# Toolbar images. Each is drawn on a 32-unit grid (one unit is a pixel at 32 px, half a pixel
# at 16 px), so even coordinates keep edges on whole pixels at both sizes.

TOOL_SIZES = (16, 32)
GRID = 32.0
# Outline width in pixels: one crisp pixel at 16 px, a little heavier at 32 px.
OUTLINE_PX = {16: 1.0, 32: 1.5}

INK = (38, 42, 52, 255)
WHITE = (252, 252, 248, 255)
LIGHT = (206, 211, 219, 255)
MID = (138, 146, 158, 255)
BLUE = (58, 118, 196, 255)
PALE = (168, 200, 238, 255)
YELLOW = (242, 196, 84, 255)
RED = (214, 68, 58, 255)
GREEN = (60, 158, 82, 255)
CLEAR = (0, 0, 0, 0)  # punches a hole through the shapes below


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def edge_distance(x, y, pts):
    return min(segment_distance(x, y, *pts[i - 1], *pts[i]) for i in range(len(pts)))


def polar(cx, cy, r, angle):
    """The point at angle degrees on a circle; y grows downwards, so angles run clockwise."""
    return (cx + r * math.cos(math.radians(angle)), cy + r * math.sin(math.radians(angle)))


def arc_points(cx, cy, r, a0, a1, steps=24):
    return [polar(cx, cy, r, a0 + (a1 - a0) * i / steps) for i in range(steps + 1)]


def arrow_points(x0, y0, x1, y1, shaft, head, head_len):
    """A straight arrow from (x0, y0) to its tip (x1, y1); shaft and head are half widths."""
    length = math.hypot(x1 - x0, y1 - y0)
    dx, dy = (x1 - x0) / length, (y1 - y0) / length
    nx, ny = -dy, dx
    bx, by = x1 - dx * head_len, y1 - dy * head_len
    return [(x0 + nx * shaft, y0 + ny * shaft), (bx + nx * shaft, by + ny * shaft),
            (bx + nx * head, by + ny * head), (x1, y1), (bx - nx * head, by - ny * head),
            (bx - nx * shaft, by - ny * shaft), (x0 - nx * shaft, y0 - ny * shaft)]


def cross_points(cx, cy, arm, half):
    """A diagonal cross (an X) of two bars with the given arm length and half width."""
    plus = [(-half, -arm), (half, -arm), (half, -half), (arm, -half), (arm, half), (half, half),
            (half, arm), (-half, arm), (-half, half), (-arm, half), (-arm, -half), (-half, -half)]
    c = s = math.sqrt(0.5)
    return [(cx + x * c - y * s, cy + x * s + y * c) for x, y in plus]


class Canvas:
    """Shapes on the grid; each later shape covers the earlier ones. Outlines lie inside a
    shape's edge, so a shape never grows beyond the coordinates it is given."""

    def __init__(self, size):
        self.ow = OUTLINE_PX[size] * GRID / size  # outline width in grid units
        self.shapes = []  # (x0, y0, x1, y1, colour-at-point function), bottom first

    def _add(self, pts, at):
        xs, ys = [p[0] for p in pts], [p[1] for p in pts]
        self.shapes.append((min(xs), min(ys), max(xs), max(ys), at))

    def polygon(self, pts, fill, outline=INK):
        ow = self.ow

        def at(x, y):
            if not inside_polygon(x, y, pts):
                return None
            if outline and edge_distance(x, y, pts) < ow:
                return outline
            return fill

        self._add(pts, at)

    def rect(self, x0, y0, x1, y1, fill, outline=INK):
        self.polygon([(x0, y0), (x1, y0), (x1, y1), (x0, y1)], fill, outline)

    def circle(self, cx, cy, r, fill, outline=INK):
        self.ring(cx, cy, r, r, fill, outline)

    def ring(self, cx, cy, r, width, fill, outline=INK):
        ow = self.ow

        def at(x, y):
            d = math.hypot(x - cx, y - cy)
            if d > r or d < r - width:
                return None
            if outline and (d > r - ow or (width < r and d < r - width + ow)):
                return outline
            return fill

        self._add([(cx - r, cy - r), (cx + r, cy + r)], at)

    def line(self, pts, width, colour, outline=None):
        """A polyline with round ends and joins."""
        ow, half = self.ow, width / 2

        def at(x, y):
            d = min(segment_distance(x, y, *pts[i], *pts[i + 1]) for i in range(len(pts) - 1))
            if d > half:
                return None
            return outline if outline and d > half - ow else colour

        self._add([(x - half, y - half) for x, y in pts] + [(x + half, y + half) for x, y in pts], at)

    def bars(self, x0, x1, y, count, step, colour=MID):
        """Text lines: thin bars one outline wide, starting at y."""
        for k in range(count):
            self.rect(x0, y + k * step, x1, y + k * step + self.ow, colour, None)

    def shade(self, u, v):
        x, y = u * GRID, v * GRID
        for x0, y0, x1, y1, at in reversed(self.shapes):
            if x0 <= x <= x1 and y0 <= y <= y1:
                colour = at(x, y)
                if colour:
                    return colour
        return CLEAR


def page(c, x0, y0, x1, y1, fold, fill=WHITE):
    """A sheet with its upper right corner folded down."""
    c.polygon([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)], fill)
    c.polygon([(x1 - fold, y0), (x1, y0 + fold), (x1 - fold, y0 + fold)], LIGHT)


# Main window toolbar.

def draw_send_message(c):
    c.rect(2, 4, 26, 22, WHITE)
    c.line([(3, 5), (14, 14), (25, 5)], c.ow * 1.4, INK)
    c.polygon(arrow_points(12, 25, 31, 25, 3, 7, 7), GREEN)


def draw_preferences(c):
    pts = []
    for i in range(8):
        for r, a in ((11, -17), (15, -9), (15, 9), (11, 17)):
            pts.append(polar(16, 16, r, i * 45 + a))
    c.polygon(pts, LIGHT)
    c.circle(16, 16, 5, CLEAR)


def draw_new(c):
    page(c, 6, 2, 26, 30, 8)


def draw_open(c):
    c.polygon([(2, 4), (12, 4), (14, 8), (26, 8), (26, 28), (2, 28)], YELLOW)
    c.rect(6, 10, 22, 22, WHITE)
    c.polygon([(2, 28), (8, 14), (30, 14), (24, 28)], YELLOW)


def draw_book(c):
    c.rect(5, 3, 27, 29, BLUE)
    c.rect(9, 3, 27, 26, WHITE)
    c.bars(12, 24, 8, 4, 4)
    c.rect(5, 3, 9, 29, INK, None)


def draw_speaker(c):
    c.polygon([(3, 11), (9, 11), (17, 4), (17, 28), (9, 21), (3, 21)], MID)
    c.line(arc_points(17, 16, 6, -50, 50, 12), c.ow * 1.4, INK)
    c.line(arc_points(17, 16, 11, -55, 55, 16), c.ow * 1.4, INK)


def draw_save(c):
    c.polygon([(2, 2), (26, 2), (30, 6), (30, 30), (2, 30)], BLUE)
    c.rect(8, 2, 24, 12, LIGHT)
    c.rect(18, 4, 22, 10, MID, None)
    c.rect(6, 16, 26, 30, WHITE)
    c.bars(10, 22, 20, 2, 4)


def draw_cut(c):
    c.polygon([(10, 20), (15, 23), (22, 2)], LIGHT)
    c.polygon([(22, 20), (17, 23), (10, 2)], LIGHT)
    c.circle(16, 16, 1.5, INK, None)
    for cx in (9, 23):
        c.circle(cx, 26, 5.5, RED)
        c.circle(cx, 26, 2, CLEAR, None)


def draw_copy(c):
    page(c, 2, 2, 20, 22, 6)
    page(c, 12, 10, 30, 30, 6)
    c.bars(16, 26, 18, 3, 3.5)


def draw_paste(c):
    c.rect(4, 4, 24, 30, YELLOW)
    c.rect(8, 2, 18, 8, MID)
    page(c, 12, 12, 30, 30, 6)
    c.bars(16, 26, 20, 2, 4)


def draw_print(c):
    c.rect(8, 2, 24, 12, WHITE)
    c.rect(2, 10, 30, 24, LIGHT)
    c.circle(26, 14, 1.5, GREEN, None)
    c.rect(6, 18, 26, 20, INK, None)
    c.rect(8, 20, 24, 30, WHITE)
    c.bars(11, 21, 23, 2, 3.5)


def draw_about(c):
    c.circle(16, 16, 15, BLUE)
    c.circle(16, 9, 2.5, WHITE, None)
    c.rect(14, 14, 18, 25, WHITE, None)


def draw_context_help(c):
    c.polygon([(2, 2), (2, 24), (8, 18), (12, 28), (16, 26), (12, 18), (20, 18)], WHITE)
    c.line(arc_points(24, 8, 4.5, 180, 405) + [(24, 14), (24, 16)], 3.5, BLUE)
    c.circle(24, 22, 2.2, BLUE, None)


# Message window toolbar.

def draw_to(c):
    c.rect(2, 2, 20, 16, WHITE)
    c.circle(8, 7, 2.5, BLUE, None)
    c.polygon(arc_points(8, 14, 4.5, 180, 360), BLUE, None)
    c.bars(13, 17, 6, 2, 4)
    c.rect(14, 12, 30, 30, WHITE)
    c.bars(18, 27, 18, 2, 4)
    c.polygon(arrow_points(0, 23, 18, 23, 3, 7, 7), GREEN)


def draw_clear(c):
    c.rect(2, 2, 24, 28, WHITE)
    c.bars(6, 20, 6, 4, 4)
    c.polygon(cross_points(22, 22, 10, 3.5), RED)


def check_rows(c, ticked):
    for top in (2, 18):
        c.rect(2, top, 14, top + 12, WHITE)
        c.rect(18, top + 6, 30, top + 8, INK, None)
        if ticked:
            c.line([(5, top + 6), (8, top + 9), (14, top)], 4, GREEN)


def draw_select(c):
    check_rows(c, True)


def draw_deselect(c):
    check_rows(c, False)


def draw_send(c):
    c.polygon([(30, 2), (2, 12), (12, 18), (18, 30)], WHITE)
    c.polygon([(30, 2), (12, 18), (18, 30)], PALE)
    c.line([(29, 3), (12, 18)], c.ow, INK)


def draw_reply(c):
    c.polygon([(2, 14), (12, 4), (12, 11)] + arc_points(12, 28, 17, -90, 0)
              + arc_points(12, 28, 11, 0, -90) + [(12, 17), (12, 24)], BLUE)


def draw_check(c):
    c.polygon(arc_points(12, 30, 10, 180, 360), BLUE)
    c.circle(12, 10, 6, BLUE)
    c.line([(16, 22), (21, 27), (30, 15)], 6, GREEN, INK)


def draw_erase(c):
    d, n = (math.sqrt(0.5), -math.sqrt(0.5)), (math.sqrt(0.5), math.sqrt(0.5))

    def block(s0, s1, half=5.5, bx=9, by=23):
        return [(bx + d[0] * s + n[0] * w, by + d[1] * s + n[1] * w) for s, w in
                ((s0, -half), (s1, -half), (s1, half), (s0, half))]

    c.rect(2, 28, 30, 30, INK, None)
    c.polygon(block(7, 22), BLUE)
    c.polygon(block(0, 8), RED)


def draw_exit(c):
    c.rect(2, 2, 18, 30, MID)
    c.polygon([(2, 2), (10, 0.5), (10, 31.5), (2, 30)], YELLOW)
    c.circle(8, 17, 1.2, INK, None)
    c.polygon(arrow_points(12, 17, 31, 17, 3, 7, 7), GREEN)


TOOLBAR = {
    "send-message": draw_send_message, "preferences": draw_preferences, "new": draw_new,
    "open": draw_open, "save": draw_save, "cut": draw_cut, "copy": draw_copy, "paste": draw_paste,
    "print": draw_print, "about": draw_about, "context-help": draw_context_help,
    "speaker": draw_speaker, "book": draw_book,
}
MESSAGE = {
    "to": draw_to, "clear": draw_clear, "select": draw_select, "deselect": draw_deselect,
    "send": draw_send, "reply": draw_reply, "check": draw_check, "erase": draw_erase,
    "exit": draw_exit,
}


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "res", "icons")
    os.makedirs(out, exist_ok=True)
    for size in SIZES:
        with open(os.path.join(out, "quillpad-%d.png" % size), "wb") as f:
            f.write(png(size, render(size)))
    for folder, icons in (("toolbar", TOOLBAR), ("message", MESSAGE)):
        os.makedirs(os.path.join(out, folder), exist_ok=True)
        for name, draw in icons.items():
            for size in TOOL_SIZES:
                canvas = Canvas(size)
                draw(canvas)
                with open(os.path.join(out, folder, "%s-%d.png" % (name, size)), "wb") as f:
                    f.write(png(size, render(size, canvas.shade)))


if __name__ == "__main__":
    main()
