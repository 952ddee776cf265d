#!/usr/bin/python3
# Pillow's decode of every entry of an icon file, for the tests that hold what the plug-in
# writes against an independent reader (Debian's python3-pil). IcoFile.frame keeps a PNG
# entry's tRNS. Usage: pillow-ico-frames.py ICO OUT. OUT gets, per entry, its width and
# height (32-bit little-endian) and then R, G, B, A per pixel, rows top-down; a failure
# prints its traceback and writes nothing.
# The entries come in the order of their images in the file (Pillow sorts them by size).
import struct
import sys

from PIL import IcoImagePlugin

ico_path, out_path = sys.argv[1:3]
with open(ico_path, "rb") as f:
    icon = IcoImagePlugin.IcoFile(f)
    data = bytearray()
    for i in sorted(range(len(icon.entry)), key=lambda i: icon.entry[i]["offset"]):
        frame = icon.frame(i).convert("RGBA")
        data += struct.pack("<II", *frame.size) + frame.tobytes()
with open(out_path, "wb") as f:
    f.write(bytes(data))
