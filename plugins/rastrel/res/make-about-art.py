#!/usr/bin/env python3
"""Draws the About box art of the Rastrel plug-in into this folder: about.bmp, the
304 x 140 picture (32-bit BI_RGB with alpha, bottom-up), and hand.cur, the 32 x 32 hand
cursor of the home-page link (1 bit per pixel, hotspot on the fingertip)."""
import importlib.util
import os

HERE = os.path.dirname(os.path.abspath(__file__))
# The file writers are those of the other plug-ins' art.
_spec = importlib.util.spec_from_file_location(
    "shared_art", os.path.join(HERE, "..", "..", "shared", "res", "make-about-art.py"))
shared = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(shared)
WIDTH, HEIGHT = 304, 140

FONT = {
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
}

# Three small pixel pictures: an arrow cursor, a landscape bitmap and an icon sheet.
# Letters pick colours from GLYPH_COLOURS; "." is empty.
ARROW = [
    "k...............",
    "kk..............",
    "kwk.............",
    "kwwk............",
    "kwwwk...........",
    "kwwwwk..........",
    "kwwwwwk.........",
    "kwwwwwwk........",
    "kwwwwwwwk.......",
    "kwwwwwwwwk......",
    "kwwwwwkkkkk.....",
    "kwwkwwk.........",
    "kwk.kwwk........",
    "kk..kwwk........",
    "k....kwwk.......",
    ".....kkkk.......",
]
LANDSCAPE = [
    "kkkkkkkkkkkkkkkk",
    "kbbbbbbbbbbbbbbk",
    "kbbbbbbbbbyybbbk",
    "kbbbbbbbbyyyybbk",
    "kbbbbbbbbyyyybbk",
    "kbbbbbbbbbyybbbk",
    "kbbbbgbbbbbbbbbk",
    "kbbbgggbbbbbbbbk",
    "kbbgggggbbbgbbbk",
    "kbgggggggbgggbbk",
    "kgggggggggggggbk",
    "kggggggggggggggk",
    "kddddddddddddddk",
    "kddddddddddddddk",
    "kddddddddddddddk",
    "kkkkkkkkkkkkkkkk",
]
SHEET = [
    "....kkkkkkkk....",
    "...krrrrrrrrk...",
    "..krrwwrrrrrrk..",
    ".krrwwrrrrrrrrk.",
    "krrrrrrrrrrrrrrk",
    "krrrrrrrrrrrrrrk",
    "krrrrrrrrrrrrrrk",
    "krrrrrrrrrrrrrrk",
    "kprrrrrrrrrrrrpk",
    "kpprrrrrrrrrrppk",
    ".kpprrrrrrrrppk.",
    "..kpprrrrrrppk..",
    "...kpppppppk....",
    "....kkkkkkk.....",
    "................",
    "................",
]
GLYPH_COLOURS = {
    "k": (32, 32, 40),
    "w": (255, 255, 255),
    "b": (120, 180, 235),
    "y": (255, 214, 64),
    "g": (70, 160, 80),
    "d": (120, 90, 60),
    "r": (220, 60, 70),
    "p": (150, 30, 50),
}


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def inside_round_rect(x, y, w, h, r):
    cx = min(max(x, r), w - 1 - r)
    cy = min(max(y, r), h - 1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def picture():
    px = {}
    # A rounded card with the chequer of a transparent background.
    for y in range(HEIGHT):
        for x in range(WIDTH):
            if not inside_round_rect(x, y, WIDTH, HEIGHT, 10):
                px[(x, y)] = (0, 0, 0, 0)
                continue
            edge = not (
                inside_round_rect(x - 1, y, WIDTH, HEIGHT, 10)
                and inside_round_rect(x + 1, y, WIDTH, HEIGHT, 10)
                and inside_round_rect(x, y - 1, WIDTH, HEIGHT, 10)
                and inside_round_rect(x, y + 1, WIDTH, HEIGHT, 10))
            if edge:
                px[(x, y)] = (96, 104, 128, 255)
            else:
                light = ((x // 8) + (y // 8)) % 2 == 0
                px[(x, y)] = (236, 238, 244, 255) if light else (214, 218, 228, 255)

    # The name in big pixels: each font pixel a 5 x 5 block with a gap, with a shadow.
    word = "RASTREL"
    cell = 6
    columns = len(word) * 6 - 1
    left = (WIDTH - columns * cell) // 2
    top = 18
    start, end = (0, 150, 160), (120, 60, 200)
    for shadow in (True, False):
        for i, letter in enumerate(word):
            for row, line in enumerate(FONT[letter]):
                for col, c in enumerate(line):
                    if c != "#":
                        continue
                    gx = i * 6 + col
                    colour = (40, 40, 70) if shadow else lerp(start, end, gx / (columns - 1))
                    bx = left + gx * cell + (2 if shadow else 0)
                    by = top + row * cell + (2 if shadow else 0)
                    for y in range(by, by + cell - 1):
                        for x in range(bx, bx + cell - 1):
                            px[(x, y)] = colour + (255,)

    # The three pictures, each pixel 3 x 3, spread under the name.
    scale = 3
    glyph_top = top + 7 * cell + 16
    glyphs = [ARROW, LANDSCAPE, SHEET]
    span = 16 * scale
    gap = (WIDTH - len(glyphs) * span) // (len(glyphs) + 1)
    for n, glyph in enumerate(glyphs):
        gx0 = gap + n * (span + gap)
        for row, line in enumerate(glyph):
            for col, c in enumerate(line):
                if c == ".":
                    continue
                colour = GLYPH_COLOURS[c]
                for y in range(glyph_top + row * scale, glyph_top + (row + 1) * scale):
                    for x in range(gx0 + col * scale, gx0 + (col + 1) * scale):
                        px[(x, y)] = colour + (255,)
    return px


# A pointing hand: "#" outline, "o" inside, "." transparent.
HAND = [
    ".....##.........",
    "....#oo#........",
    "....#oo#........",
    "....#oo#........",
    "....#oo###......",
    "....#oo#oo###...",
    "....#oo#oo#oo##.",
    ".##.#oo#oo#oo#o#",
    "#oo##oooooooooo#",
    "#ooo#oooooooooo#",
    ".#oo#oooooooooo#",
    ".#oooooooooooooo#",
    "..#ooooooooooooo#",
    "..#ooooooooooooo#",
    "...#ooooooooooo#",
    "...#ooooooooooo#",
    "....#ooooooooo#",
    "....#ooooooooo#",
    ".....#########",
]


if __name__ == "__main__":
    shared.write_bmp(os.path.join(HERE, "about.bmp"), WIDTH, HEIGHT, picture())
    shared.write_cursor_grid(os.path.join(HERE, "hand.cur"), HAND, (5, 0))
