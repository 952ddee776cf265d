#!/usr/bin/env python3
"""Draws the message box pictures (error, question, warning, information) as 32 x 32
32-bit bottom-up BMP files with straight alpha, antialiased by 4 x 4 supersampling."""
import math
import os
import struct

SIZE = 32
SUB = 4


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def disc(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) <= r


def ring(cx, cy, r0, r1):
    return lambda x, y: r0 <= math.hypot(x - cx, y - cy) <= r1


def stroke(points, width):
    half = width / 2.0
    pairs = list(zip(points, points[1:]))
    return lambda x, y: any(seg_dist(x, y, a[0], a[1], b[0], b[1]) <= half for a, b in pairs)


def arc(cx, cy, r, width, start, end):
    """Degrees, y pointing down, from start to end increasing."""
    half = width / 2.0

    def inside(x, y):
        if abs(math.hypot(x - cx, y - cy) - r) > half:
            return False
        a = math.degrees(math.atan2(y - cy, x - cx))
        while a < start:
            a += 360.0
        return a <= end
    return inside


def triangle(p, q, s, grow=0.0):
    pts = [p, q, s]

    def inside(x, y):
        for i in range(3):
            ax, ay = pts[i]
            bx, by = pts[(i + 1) % 3]
            # the triangle's vertices run clockwise on screen
            nx, ny = by - ay, ax - bx
            length = math.hypot(nx, ny)
            if ((x - ax) * nx + (y - ay) * ny) / length > grow:
                return False
        return True
    return inside


def render(layers):
    data = bytearray()
    for row in range(SIZE - 1, -1, -1):  # bottom-up rows
        for col in range(SIZE):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied sums
            for sy in range(SUB):
                for sx in range(SUB):
                    x = col + (sx + 0.5) / SUB
                    y = row + (sy + 0.5) / SUB
                    r = g = b = a = 0.0
                    for shape, (cr, cg, cb) in layers:
                        if shape(x, y):
                            r, g, b, a = cr / 255.0, cg / 255.0, cb / 255.0, 1.0
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SUB * SUB
            alpha = acc[3] / n
            if alpha > 0:
                r, g, b = (acc[i] / n / alpha for i in range(3))
            else:
                r = g = b = 0.0
            data += bytes(int(round(v * 255)) for v in (b, g, r, alpha))
    return data


def write_bmp(path, pixels):
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 32, 0, len(pixels), 2835, 2835, 0, 0)
    offset = 14 + len(header)
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset))
        f.write(header)
        f.write(pixels)


WHITE = (255, 255, 255)
C = 16.0

pictures = {
    "error": [
        (disc(C, C, 14.5), (150, 20, 20)),
        (disc(C, C, 13.3), (220, 45, 40)),
        (stroke([(10.5, 10.5), (21.5, 21.5)], 3.6), WHITE),
        (stroke([(21.5, 10.5), (10.5, 21.5)], 3.6), WHITE),
    ],
    "question": [
        (disc(C, C, 14.5), (25, 70, 150)),
        (disc(C, C, 13.3), (50, 110, 205)),
        (arc(C, 12.5, 4.6, 3.4, -180.0, 50.0), WHITE),
        (stroke([(16 + 4.6 * math.cos(math.radians(50)), 12.5 + 4.6 * math.sin(math.radians(50))),
                 (16.0, 18.0), (16.0, 19.8)], 3.4), WHITE),
        (disc(C, 24.3, 2.1), WHITE),
    ],
    "warning": [
        (triangle((16.0, 2.0), (30.5, 28.5), (1.5, 28.5)), (150, 105, 0)),
        (triangle((16.0, 2.0), (30.5, 28.5), (1.5, 28.5), -1.2), (250, 200, 30)),
        (stroke([(16.0, 11.0), (16.0, 19.0)], 3.4), (30, 30, 30)),
        (disc(C, 23.5, 2.0), (30, 30, 30)),
    ],
    "information": [
        (disc(C, C, 14.5), (25, 95, 150)),
        (disc(C, C, 13.3), (45, 140, 210)),
        (disc(C, 9.3, 2.2), WHITE),
        (stroke([(16.0, 14.2), (16.0, 23.0)], 3.6), WHITE),
    ],
}

here = os.path.dirname(os.path.abspath(__file__))
for name, layers in pictures.items():
    write_bmp(os.path.join(here, "msgbox-%s.bmp" % name), render(layers))
