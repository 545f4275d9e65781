#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Draws Tessaline's sample shop logo: a shaded disc, the shop's name in a
blocky type, and a grey ramp that shows how each image mode renders shades.
Writes an uncompressed 24-bit BMP (bottom-up rows, 4-byte stride)."""
import math
import struct
import sys

W, H = 384, 160
FONT = {  # 5 x 7 capitals
    'T': ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    'E': ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    'S': ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    'A': ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    'L': ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    'I': ["11111", "00100", "00100", "00100", "00100", "00100", "11111"],
    'N': ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    'C': ["01111", "10000", "10000", "10000", "10000", "10000", "01111"],
    'O': ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    'F': ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    ' ': ["00000"] * 7,
}


def text_pixel(text, x0, y0, scale, x, y):
    cx, cy = (x - x0) // scale, (y - y0) // scale
    if cy < 0 or cy >= 7 or cx < 0:
        return False
    i, col = divmod(cx, 6)
    if i >= len(text) or col == 5:
        return False
    return FONT[text[i]][cy][col] == '1'


def pixel(x, y):
    # Shaded disc on the left: light from the top left.
    dx, dy = x - 72, y - 80
    r = math.hypot(dx, dy)
    if r < 64:
        if r > 56:
            return (0, 0, 0)
        shade = 0.5 + 0.5 * (-(dx + dy) / (1.414 * 56))
        if text_pixel("T", 52, 45, 10, x, y):
            return (255, 255, 255)
        v = int(60 + 150 * shade)
        return (v // 2, v, min(255, v + 40))  # blue, green, red
    if text_pixel("TESSALINE", 150, 30, 4, x, y):
        return (0, 0, 0)
    if text_pixel("COFFEE", 150, 70, 3, x, y):
        return (40, 40, 40)
    if 150 <= x < 370 and 110 <= y < 140:  # grey ramp
        v = int(255 * (x - 150) / 219)
        return (v, v, v)
    return (255, 255, 255)


def main(path):
    stride = (W * 3 + 3) // 4 * 4
    rows = bytearray()
    for m in range(H):  # stored row 0 is the bottom of the picture
        y = H - 1 - m
        row = bytearray()
        for x in range(W):
            row += bytes(pixel(x, y))
        row += b"\0" * (stride - len(row))
        rows += row
    header = struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + rows)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "logo.bmp")
