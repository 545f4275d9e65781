#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Draws the program's icon: io.github.tessaline.Tessaline.svg and a 128 x 128
PNG rasterised from the same shapes (no image library needed).

Usage: packaging/make-icon.py [FOLDER]   (default: the folder of this script)
"""
import os
import struct
import sys
import zlib

NAME = "io.github.tessaline.Tessaline"

# Shapes on a 128 x 128 canvas, drawn in order:
# ("rect", x0, y0, x1, y1, radius, colour) or ("circle", cx, cy, r, colour).
SHAPES = [
    ("rect", 14, 56, 114, 112, 10, "#37474f"),  # printer body
    ("rect", 26, 60, 102, 67, 3, "#1c262b"),  # paper slot
    ("rect", 36, 10, 92, 64, 0, "#ffffff"),  # the receipt coming out
    ("circle", 64, 28, 12, "#000000"),  # the shop's logo on it
    ("circle", 64, 28, 6, "#ffffff"),
    ("circle", 64, 28, 2.5, "#000000"),
    ("rect", 44, 46, 84, 49, 1, "#90a4ae"),  # printed lines
    ("rect", 44, 53, 76, 56, 1, "#90a4ae"),
    ("rect", 24, 78, 104, 102, 4, "#546e7a"),  # front panel
    ("rect", 30, 86, 56, 94, 3, "#263238"),  # feed button
    ("circle", 94, 90, 4.5, "#66bb6a"),  # power light
]


def svg():
    parts = [
        '<?xml version="1.0" encoding="UTF-8"?>',
        '<svg xmlns="http://www.w3.org/2000/svg" width="128" height="128" viewBox="0 0 128 128">',
    ]
    for s in SHAPES:
        if s[0] == "rect":
            _, x0, y0, x1, y1, r, c = s
            parts.append(
                f'  <rect x="{x0}" y="{y0}" width="{x1 - x0}" height="{y1 - y0}" '
                f'rx="{r}" fill="{c}"/>'
            )
        else:
            _, cx, cy, r, c = s
            parts.append(f'  <circle cx="{cx}" cy="{cy}" r="{r}" fill="{c}"/>')
    parts.append("</svg>")
    return "\n".join(parts) + "\n"


def inside(s, x, y):
    if s[0] == "circle":
        _, cx, cy, r, _ = s
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    _, x0, y0, x1, y1, r, _ = s
    if not (x0 <= x <= x1 and y0 <= y <= y1):
        return False
    # Distance to the nearest corner centre decides the rounded corners.
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def rgb(colour):
    return tuple(int(colour[i : i + 2], 16) for i in (1, 3, 5))


def png(size=128, samples=4):
    scale = 128 / size
    rows = []
    for py in range(size):
        row = bytearray([0])  # filter: none
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) * scale
                    y = (py + (sy + 0.5) / samples) * scale
                    colour = None
                    for s in SHAPES:
                        if inside(s, x, y):
                            colour = s[-1]
                    if colour:
                        r, g, b = rgb(colour)
                        acc[0] += r
                        acc[1] += g
                        acc[2] += b
                        acc[3] += 255
            n = samples * samples
            alpha = acc[3] / n
            if alpha > 0:
                # Colour averaged over the covered samples only (straight alpha).
                covered = acc[3] / 255
                row += bytes(round(acc[i] / covered) for i in range(3)) + bytes([round(alpha)])
            else:
                row += b"\0\0\0\0"
        rows.append(bytes(row))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", header)
        + chunk(b"IDAT", zlib.compress(b"".join(rows), 9))
        + chunk(b"IEND", b"")
    )


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(folder, NAME + ".svg"), "w", encoding="utf-8") as f:
        f.write(svg())
    with open(os.path.join(folder, NAME + ".png"), "wb") as f:
        f.write(png())


if __name__ == "__main__":
    main()
