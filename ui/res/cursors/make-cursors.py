#!/usr/bin/env python3
"""Draws the application cursors (resources 200-204 and 210-225) as 32x32 32-bit .cur files.

Run from this folder: python3 make-cursors.py. The results are committed beside it.
"""
import struct

W = H = 32
BLACK = (0, 0, 0, 255)
WHITE = (255, 255, 255, 255)


class Canvas:
    def __init__(self):
        self.px = [[(0, 0, 0, 0)] * W for _ in range(H)]

    def set(self, x, y, c):
        if 0 <= x < W and 0 <= y < H:
            self.px[y][x] = c

    def hline(self, x0, x1, y, c):
        for x in range(min(x0, x1), max(x0, x1) + 1):
            self.set(x, y, c)

    def vline(self, x, y0, y1, c):
        for y in range(min(y0, y1), max(y0, y1) + 1):
            self.set(x, y, c)

    def line(self, x0, y0, x1, y1, c):
        n = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(n + 1):
            self.set(round(x0 + (x1 - x0) * i / n), round(y0 + (y1 - y0) * i / n), c)

    def rect(self, x0, y0, x1, y1, c):
        self.hline(x0, x1, y0, c)
        self.hline(x0, x1, y1, c)
        self.vline(x0, y0, y1, c)
        self.vline(x1, y0, y1, c)

    def fill(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            self.hline(x0, x1, y, c)

    def circle(self, cx, cy, r, c, filled=False):
        for y in range(H):
            for x in range(W):
                d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
                if (filled and d <= r + 0.5) or (not filled and abs(d - r) < 0.5):
                    self.set(x, y, c)

    def outline(self):
        """Gives every opaque black pixel a white halo so the cursor shows on dark pixels."""
        halo = []
        for y in range(H):
            for x in range(W):
                if self.px[y][x][3] == 0:
                    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                        nx, ny = x + dx, y + dy
                        if 0 <= nx < W and 0 <= ny < H and self.px[ny][nx] == BLACK:
                            halo.append((x, y))
                            break
        for x, y in halo:
            self.set(x, y, WHITE)


def crosshair(cv, cx=15, cy=15, gap=2, arm=7):
    cv.hline(cx - arm, cx - gap, cy, BLACK)
    cv.hline(cx + gap, cx + arm, cy, BLACK)
    cv.vline(cx, cy - arm, cy - gap, BLACK)
    cv.vline(cx, cy + gap, cy + arm, BLACK)


def badge(cv, kind, x=24, y=24):
    """A small sign at the lower right: '+' add, '-' subtract, 'x' intersect."""
    if kind == '+':
        cv.hline(x - 3, x + 3, y, BLACK)
        cv.vline(x, y - 3, y + 3, BLACK)
    elif kind == '-':
        cv.hline(x - 3, x + 3, y, BLACK)
    elif kind == 'x':
        cv.line(x - 3, y - 3, x + 3, y + 3, BLACK)
        cv.line(x - 3, y + 3, x + 3, y - 3, BLACK)


def arrow4(cv, cx=15, cy=15, r=9):
    cv.hline(cx - r, cx + r, cy, BLACK)
    cv.vline(cx, cy - r, cy + r, BLACK)
    for i in range(1, 4):
        cv.hline(cx - i, cx + i, cy - r + i, BLACK)
        cv.hline(cx - i, cx + i, cy + r - i, BLACK)
        cv.vline(cx - r + i, cy - i, cy + i, BLACK)
        cv.vline(cx + r - i, cy - i, cy + i, BLACK)


def pointer(cv):
    for i in range(12):
        cv.hline(0, i // 2 + (i > 6) * 0, i, BLACK)
        cv.set(0, i, BLACK)
        cv.line(0, 0, 7, 11, BLACK)
    cv.line(0, 0, 0, 12, BLACK)
    cv.line(0, 12, 7, 11, BLACK)
    cv.fill(1, 3, 2, 10, BLACK)
    cv.fill(3, 6, 4, 10, BLACK)


def wand(cv):
    cv.line(6, 25, 16, 15, BLACK)
    cv.line(7, 25, 17, 15, BLACK)
    for dx, dy in ((0, -4), (0, 4), (-4, 0), (4, 0)):
        cv.line(20, 11, 20 + dx, 11 + dy, BLACK)


def make(name, draw, hot):
    cv = Canvas()
    draw(cv)
    cv.outline()
    write_cur(name, cv, hot)


def write_cur(name, cv, hot):
    xor = b''.join(bytes((b, g, r, a)) for row in reversed(cv.px) for (r, g, b, a) in row)
    mask = b''
    for row in reversed(cv.px):
        bits = 0
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits |= 1 << (31 - x)
        mask += struct.pack('>I', bits)
    header = struct.pack('<IiiHHIIiiII', 40, W, H * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    data = struct.pack('<HHH', 0, 2, 1)
    data += struct.pack('<BBBBHHII', W, H, 0, 0, hot[0], hot[1], len(image), 22)
    with open(name, 'wb') as f:
        f.write(data + image)


def main():
    make('tool.cur', lambda c: crosshair(c), (15, 15))                                  # 200
    make('link.cur', lambda c: (pointer(c), c.hline(0, 12, 14, BLACK)), (0, 0))         # 201
    make('field.cur', lambda c: c.circle(15, 15, 5, BLACK), (15, 15))                   # 202
    make('pan.cur', lambda c: arrow4(c), (15, 15))                                      # 203
    make('preview.cur', lambda c: (c.rect(8, 8, 22, 22, BLACK), crosshair(c, arm=4, gap=1)), (15, 15))  # 204
    make('text.cur', lambda c: (c.vline(15, 7, 23, BLACK), c.hline(12, 18, 7, BLACK),
                                c.hline(12, 18, 23, BLACK)), (15, 19))                  # 210
    make('gradient.cur', lambda c: (crosshair(c, 8, 8, 1, 5), c.rect(16, 18, 29, 27, BLACK),
                                    c.fill(16, 18, 22, 27, BLACK)), (8, 8))             # 211
    make('shape.cur', lambda c: (crosshair(c, 8, 8, 1, 5), c.rect(16, 18, 29, 27, BLACK)), (8, 8))  # 212
    for n, kind in ((213, '+'), (214, '-'), (215, 'x')):
        make('select%d.cur' % n, lambda c, k=kind: (crosshair(c, 8, 8, 1, 5), badge(c, k)), (8, 8))
    for n, kind in ((216, None), (217, '+'), (218, '-'), (219, 'x')):
        make('wand%d.cur' % n, lambda c, k=kind: (wand(c), badge(c, k, 26, 26) if k else None), (20, 11))
    make('move.cur', lambda c: (pointer(c), arrow4(c, 20, 20, 8)), (0, 0))              # 220
    make('picker.cur', lambda c: (c.line(1, 30, 14, 17, BLACK), c.line(2, 30, 15, 17, BLACK),
                                  c.fill(15, 12, 19, 16, BLACK), c.circle(22, 9, 4, BLACK, True)), (1, 30))  # 221
    make('brush.cur', lambda c: (c.circle(15, 15, 6, BLACK), c.set(15, 15, BLACK)), (15, 15))  # 222
    make('brushodd.cur', lambda c: (c.rect(13, 13, 17, 17, BLACK), c.set(15, 15, BLACK)), (15, 15))  # 223
    make('brusheven.cur', lambda c: (c.rect(13, 13, 18, 18, BLACK)), (16, 16))          # 224
    make('fill.cur', lambda c: (c.rect(8, 12, 20, 24, BLACK), c.line(8, 12, 14, 6, BLACK),
                                c.line(20, 12, 14, 6, BLACK), c.line(21, 14, 24, 22, BLACK),
                                c.set(2, 29, BLACK)), (2, 29))                           # 225


if __name__ == '__main__':
    main()
