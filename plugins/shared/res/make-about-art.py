#!/usr/bin/env python3
"""Draws the About box art of the JPEG, TGA and PSD plug-ins into this folder:
about.bmp, the 60 x 48 picture (32-bit BI_RGB with alpha, bottom-up), and link.cur, the
32 x 32 hand cursor of the home-page link (1 bit per pixel, hotspot on the fingertip)."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def picture(width=60, height=48, ss=4):
    """A sheet of vellum with a few lines of writing and a quill across it."""

    def inside_sheet(x, y):
        # A rounded sheet with curled top and bottom edges.
        left, right, top, bottom, r = 6.0, 44.0, 5.0, 43.0, 4.0
        if x < left or x > right or y < top or y > bottom:
            return False
        cx = min(max(x, left + r), right - r)
        cy = min(max(y, top + r), bottom - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

    def quill(x, y):
        # Distance along and across the shaft from (54, 4) to (30, 38).
        ax, ay, bx, by = 55.0, 3.0, 30.0, 38.0
        dx, dy = bx - ax, by - ay
        length = math.hypot(dx, dy)
        t = ((x - ax) * dx + (y - ay) * dy) / (length * length)
        if t < 0 or t > 1:
            return None
        across = ((x - ax) * dy - (y - ay) * dx) / length
        return t, across

    acc = {}
    for py in range(height):
        for px in range(width):
            samples = []
            for sy in range(ss):
                for sx in range(ss):
                    x = px + (sx + 0.5) / ss
                    y = py + (sy + 0.5) / ss
                    colour = None
                    q = quill(x, y)
                    if q:
                        t, across = q
                        half = 0.6 + 4.5 * math.sin(min(t, 0.8) / 0.8 * math.pi / 2) * (1.0 - t) * 1.6
                        if t > 0.82:
                            half = 0.9 * (1 - t) / 0.18 + 0.2
                        if abs(across) <= 0.7 and t > 0.05:
                            colour = (60, 40, 30)  # the shaft
                        elif abs(across) <= half and t < 0.82:
                            shade = 235 - int(60 * abs(across) / max(half, 0.1))
                            colour = (shade, shade, min(255, shade + 12))
                        elif t >= 0.82 and abs(across) <= half:
                            colour = (40, 40, 60)  # the nib
                    if colour is None and inside_sheet(x, y):
                        colour = (243, 231, 200)
                        edge = not (inside_sheet(x - 1.2, y) and inside_sheet(x + 1.2, y)
                                    and inside_sheet(x, y - 1.2) and inside_sheet(x, y + 1.2))
                        if edge:
                            colour = (176, 150, 104)
                        elif 11 <= x <= 38 and any(abs(y - line) < 0.6 for line in (13, 18, 23, 28, 33)):
                            if not (line_gap(x, y)):
                                colour = (96, 80, 120)
                    samples.append(colour)
            covered = [c for c in samples if c]
            alpha = len(covered) / len(samples)
            if covered:
                r = sum(c[0] for c in covered) / len(covered)
                g = sum(c[1] for c in covered) / len(covered)
                b = sum(c[2] for c in covered) / len(covered)
            else:
                r = g = b = 0
            acc[(px, py)] = (round(r), round(g), round(b), round(alpha * 255))
    return width, height, acc


def line_gap(x, y):
    """Gaps between the words of the writing, and a shorter last line."""
    if abs(y - 33) < 0.6 and x > 27:
        return True
    words = {13: (19, 29), 18: (15, 31), 23: (22,), 28: (17, 26), 33: (20,)}
    for line, gaps in words.items():
        if abs(y - line) < 0.6:
            return any(abs(x - g) < 1.0 for g in gaps)
    return False


def write_bmp(path, width, height, pixels):
    rows = []
    for y in range(height - 1, -1, -1):
        row = b"".join(struct.pack("<BBBB", pixels[(x, y)][2], pixels[(x, y)][1], pixels[(x, y)][0],
                                   pixels[(x, y)][3]) for x in range(width))
        rows.append(row)
    bits = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 32, 0, len(bits), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(bits), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(header + info + bits)


HAND = [
    "......##........................",
    ".....#..#.......................",
    ".....#..#.......................",
    ".....#..#.......................",
    ".....#..#.......................",
    ".....#..###.....................",
    ".....#..#..###..................",
    ".....#..#..#..##................",
    ".....#..#..#..#.#...............",
    "..##.#..#..#..#..#..............",
    "..#..##........#.#..............",
    "..#...#..........#..............",
    "...#.............#..............",
    "...#.............#..............",
    "....#............#..............",
    "....#...........#...............",
    ".....#..........#...............",
    ".....#.........#................",
    "......#........#................",
    "......##########................",
]


def write_cursor_grid(path, rows, hotspot):
    """A 32 x 32 cursor from rows of "#" (black), "o" (white) and "." (transparent)."""
    size = 32
    grid = [row.ljust(size, ".") for row in rows] + ["." * size] * (size - len(rows))
    xor_rows, and_rows = [], []
    for y in range(size - 1, -1, -1):
        xor_bits = and_bits = 0
        for x in range(size):
            c = grid[y][x]
            bit = 1 << (31 - x)
            if c == "o":
                xor_bits |= bit  # white
            elif c == ".":
                and_bits |= bit  # transparent
        xor_rows.append(struct.pack(">I", xor_bits))
        and_rows.append(struct.pack(">I", and_bits))
    palette = struct.pack("<BBBBBBBB", 0, 0, 0, 0, 255, 255, 255, 0)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    image = info + palette + b"".join(xor_rows) + b"".join(and_rows)
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size, size, 2, 0, hotspot[0], hotspot[1], len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(directory + entry + image)


def write_cursor(path, hotspot=(6, 0)):
    # The inside of the outline is filled white, so that the hand is opaque.
    rows = []
    for row in HAND:
        filled = list(row)
        xs = [x for x, c in enumerate(row) if c == "#"]
        if len(xs) >= 2:
            for x in range(xs[0] + 1, xs[-1]):
                if filled[x] == ".":
                    filled[x] = "o"
        rows.append("".join(filled))
    write_cursor_grid(path, rows, hotspot)


if __name__ == "__main__":
    w, h, px = picture()
    write_bmp(os.path.join(HERE, "about.bmp"), w, h, px)
    write_cursor(os.path.join(HERE, "link.cur"))
