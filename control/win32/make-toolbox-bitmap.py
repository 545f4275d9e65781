#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the control's toolbox picture, bitmap resource 1 of Tessaline.ocx,
as the 16 x 15, 16-colour BMP file windres embeds. The picture and its
palette are read from control/ToolboxBitmap.h, which the other build of the
control compiles in, so both carry the same bytes.

Usage: make-toolbox-bitmap.py TOOLBOX_BITMAP_H OUTPUT.bmp"""
import re
import struct
import sys

WIDTH, HEIGHT = 16, 15


def read_picture(header):
    picture = re.search(r"kPicture\{\{(.*?)\}\};", header, re.S).group(1)
    rows = re.findall(r'"([0-9A-F]{16})"', picture)
    palette = re.search(r"kPalette\{\{(.*?)\}\};", header, re.S).group(1)
    colours = [tuple(int(v, 16) for v in c)
               for c in re.findall(r"\{0x(\w\w), 0x(\w\w), 0x(\w\w)\}", palette)]
    if len(rows) != HEIGHT or len(colours) != 16:
        sys.exit("make-toolbox-bitmap: ToolboxBitmap.h holds no 16 x 15 picture of 16 colours")
    return rows, colours


def build(rows, colours):
    stride = WIDTH // 2  # 4 bits a pixel; already a multiple of 4 bytes
    pixel_offset = 14 + 40 + 4 * len(colours)
    size = pixel_offset + stride * HEIGHT
    out = bytearray(b"BM" + struct.pack("<IHHI", size, 0, 0, pixel_offset))
    out += struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 4, 0, stride * HEIGHT, 0, 0, 16, 0)
    for blue, green, red in colours:
        out += bytes((blue, green, red, 0))
    for row in reversed(rows):  # stored bottom-up
        out += bytes.fromhex(row)
    return bytes(out)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], encoding="utf-8") as f:
        data = build(*read_picture(f.read()))
    with open(sys.argv[2], "wb") as f:
        f.write(data)
