#!/usr/bin/env python3
"""Draws the program's icons (resources 101-104: the program, plug-in, project and colours
file types) at 16x16, 32x32 and 48x48 in 32-bit colour and writes them as .ico files.

Run from this folder: python3 make-icons.py. The results are committed beside it.
"""
import struct


def blend(dst, src):
    sa = src[3] / 255.0
    da = dst[3] / 255.0
    a = sa + da * (1 - sa)
    if a == 0:
        return (0, 0, 0, 0)
    return tuple(int(round((src[i] * sa + dst[i] * da * (1 - sa)) / a)) for i in range(3)) + (int(round(a * 255)),)


def render(size, shapes):
    """Each shape is a function (u, v) -> colour or None on the unit square; 4x4 supersampled."""
    px = []
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(4):
                for sx in range(4):
                    u = (x + (sx + 0.5) / 4) / size
                    v = (y + (sy + 0.5) / 4) / size
                    c = (0, 0, 0, 0)
                    for shape in shapes:
                        s = shape(u, v)
                        if s:
                            c = blend(c, s)
                    for i in range(3):
                        acc[i] += c[i] * c[3]
                    acc[3] += c[3]
            a = acc[3] / 16
            if acc[3] > 0:
                row.append(tuple(int(round(acc[i] / acc[3])) for i in range(3)) + (int(round(a)),))
            else:
                row.append((0, 0, 0, 0))
        px.append(row)
    return px


def rounded(x0, y0, x1, y1, r, colour, colour2=None):
    def f(u, v):
        cx = min(max(u, x0 + r), x1 - r)
        cy = min(max(v, y0 + r), y1 - r)
        if (u - cx) ** 2 + (v - cy) ** 2 <= r * r and x0 <= u <= x1 and y0 <= v <= y1:
            if colour2:
                t = (v - y0) / (y1 - y0)
                return tuple(int(colour[i] + (colour2[i] - colour[i]) * t) for i in range(4))
            return colour
        return None
    return f


def stroke(x0, y0, x1, y1, w, colour):
    def f(u, v):
        dx, dy = x1 - x0, y1 - y0
        t = max(0.0, min(1.0, ((u - x0) * dx + (v - y0) * dy) / (dx * dx + dy * dy)))
        px, py = x0 + t * dx, y0 + t * dy
        return colour if (u - px) ** 2 + (v - py) ** 2 <= (w / 2) ** 2 else None
    return f


def program_icon():
    return [rounded(0.06, 0.06, 0.94, 0.94, 0.16, (70, 130, 230, 255), (30, 60, 150, 255)),
            rounded(0.22, 0.22, 0.52, 0.52, 0.03, (255, 90, 80, 255)),
            rounded(0.48, 0.22, 0.78, 0.52, 0.03, (250, 210, 60, 255)),
            rounded(0.22, 0.48, 0.52, 0.78, 0.03, (90, 200, 110, 255)),
            stroke(0.36, 0.84, 0.86, 0.30, 0.12, (40, 40, 40, 255)),
            stroke(0.38, 0.82, 0.84, 0.32, 0.07, (255, 255, 255, 255))]


def plugin_icon():
    return [rounded(0.14, 0.22, 0.86, 0.86, 0.08, (120, 180, 90, 255), (60, 120, 40, 255)),
            rounded(0.40, 0.06, 0.60, 0.30, 0.08, (120, 180, 90, 255)),
            rounded(0.30, 0.42, 0.70, 0.70, 0.04, (255, 255, 255, 200))]


def project_icon():
    shapes = [rounded(0.16, 0.06, 0.84, 0.94, 0.05, (250, 250, 250, 255)),
              rounded(0.16, 0.06, 0.84, 0.20, 0.04, (70, 130, 230, 255))]
    colours = [(255, 90, 80, 255), (250, 210, 60, 255), (90, 200, 110, 255), (80, 140, 240, 255)]
    for i, c in enumerate(colours):
        x = 0.26 + (i % 2) * 0.26
        y = 0.32 + (i // 2) * 0.28
        shapes.append(rounded(x, y, x + 0.22, y + 0.22, 0.03, c))
    return shapes


def colors_icon():
    shapes = [rounded(0.08, 0.16, 0.92, 0.84, 0.20, (200, 160, 110, 255), (150, 110, 70, 255))]
    colours = [(255, 90, 80, 255), (250, 210, 60, 255), (90, 200, 110, 255), (80, 140, 240, 255)]
    for i, c in enumerate(colours):
        cx = 0.26 + i * 0.16
        shapes.append(rounded(cx - 0.07, 0.36 - (i % 2) * 0.06, cx + 0.07, 0.50 - (i % 2) * 0.06, 0.07, c))
    shapes.append(rounded(0.60, 0.58, 0.76, 0.72, 0.08, (120, 80, 40, 255)))
    return shapes


def write_ico(name, shapes, sizes=(16, 32, 48)):
    images = []
    for s in sizes:
        px = render(s, shapes)
        xor = b''.join(bytes((b, g, r, a)) for row in reversed(px) for (r, g, b, a) in row)
        stride = ((s + 31) // 32) * 4
        mask = b''
        for row in reversed(px):
            bits = bytearray(stride)
            for x, (_, _, _, a) in enumerate(row):
                if a == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(bits)
        header = struct.pack('<IiiHHIIiiII', 40, s, s * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append((s, header + xor + mask))
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b''
    for s, img in images:
        data += struct.pack('<BBBBHHII', s % 256, s % 256, 0, 0, 1, 32, len(img), offset + len(body))
        body += img
    with open(name, 'wb') as f:
        f.write(data + body)


if __name__ == '__main__':
    write_ico('Vellumcraft.ico', program_icon())
    write_ico('Plugin.ico', plugin_icon())
    write_ico('Project.ico', project_icon())
    write_ico('Colors.ico', colors_icon())
