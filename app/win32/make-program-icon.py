#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the program's window icon, icon resource 1: 32 x 32 pixels in the
16 standard colours, drawn from the same shapes as the desktop icon of the
repository's packaging/make-icon.py. Usage: make-program-icon.py MAKE_ICON_PY OUTPUT.ico"""
import runpy
import struct
import sys
import types

SIZE = 32

# The 16 standard colours as red, green, blue.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]


def nearest(colour):
    return min(range(16), key=lambda i: sum((a - b) ** 2 for a, b in zip(PALETTE[i], colour)))


def pixels(shapes_module):
    """Palette index per pixel, top row first; None where no shape covers it."""
    scale = 128 / SIZE
    rows = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            x, y = (px + 0.5) * scale, (py + 0.5) * scale
            colour = None
            for shape in shapes_module.SHAPES:
                if shapes_module.inside(shape, x, y):
                    colour = shape[-1]
            row.append(None if colour is None else nearest(shapes_module.rgb(colour)))
        rows.append(row)
    return rows


def icon(rows):
    xor_stride = SIZE // 2  # 4 bits a pixel, already a multiple of 4 bytes
    and_stride = 4  # 1 bit a pixel, rounded up to 4 bytes
    image = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    for red, green, blue in PALETTE:
        image += bytes((blue, green, red, 0))
    for row in reversed(rows):  # stored bottom-up
        line = bytearray(xor_stride)
        for x, index in enumerate(row):
            line[x // 2] |= (index or 0) << (0 if x % 2 else 4)
        image += bytes(line)
    for row in reversed(rows):
        mask = bytearray(and_stride)
        for x, index in enumerate(row):
            if index is None:  # transparent
                mask[x // 8] |= 0x80 >> (x % 8)
        image += bytes(mask)
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return header + entry + image


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    shapes = types.SimpleNamespace(**runpy.run_path(sys.argv[1]))
    with open(sys.argv[2], "wb") as f:
        f.write(icon(pixels(shapes)))
