#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus: one small BMP of each kind the decoder
accepts. Run from this folder; the files go into corpus/."""
import os
import struct


def bmp(w, h, bpp, rows, palette=b"", header=40, compression=0, masks=None, top_down=False):
    extra = b""
    info = struct.pack("<IiiHHIIiiII", header, w, -h if top_down else h, 1, bpp, compression,
                       len(rows), 2835, 2835, len(palette) // 4, 0)
    if header > 40:
        m = masks or (0, 0, 0, 0)
        info += struct.pack("<IIII", *m) + b"\0" * (header - 56)
    elif masks:
        extra = struct.pack("<III", *masks[:3])
    off = 14 + header + len(extra) + len(palette)
    return struct.pack("<2sIHHI", b"BM", off + len(rows), 0, 0, off) + info + extra + palette + rows


def plain_rows(w, h, bpp, fn):
    stride = (w * bpp + 31) // 32 * 4
    out = bytearray()
    for m in range(h):
        row = bytearray(stride)
        for x in range(w):
            v = fn(x, m)
            if bpp == 1:
                row[x // 8] |= (v & 1) << (7 - x % 8)
            elif bpp == 4:
                row[x // 2] |= (v & 15) << (0 if x % 2 else 4)
            else:
                row[x * bpp // 8:(x + 1) * bpp // 8] = v.to_bytes(bpp // 8, "little")
        out += row
    return bytes(out)


grey = lambda n: b"".join(bytes((i * 255 // (n - 1),) * 3 + (0,)) for i in range(n))
files = {
    "one-bit.bmp": bmp(12, 9, 1, plain_rows(12, 9, 1, lambda x, m: (x + m) % 2), b"\xff\xff\xff\0\0\0\0\0"),
    "four-bit.bmp": bmp(7, 5, 4, plain_rows(7, 5, 4, lambda x, m: x * 2 + m), grey(16)),
    "eight-bit.bmp": bmp(9, 6, 8, plain_rows(9, 6, 8, lambda x, m: x * 28 + m), grey(256)),
    "rle8.bmp": bmp(8, 3, 8, bytes([4, 10, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 1, 1, 3, 200, 0, 1]), grey(256), compression=1),
    "rle4.bmp": bmp(6, 2, 4, bytes([5, 0x12, 0, 0, 0, 4, 0x34, 0x56, 0, 1]), grey(16), compression=2),
    "sixteen-565.bmp": bmp(5, 4, 16, plain_rows(5, 4, 16, lambda x, m: (x * 0x841 + m * 0x1F) & 0xFFFF),
                           compression=3, masks=(0xF800, 0x07E0, 0x001F)),
    "top-down-24.bmp": bmp(5, 4, 24, plain_rows(5, 4, 24, lambda x, m: x * 0x303030 + m * 0x10), top_down=True),
    "alpha-32-v5.bmp": bmp(4, 4, 32, plain_rows(4, 4, 32, lambda x, m: (x * 0x40 << 24) | 0x204060),
                           header=124, compression=3,
                           masks=(0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)),
}
os.makedirs("corpus", exist_ok=True)
for name, data in files.items():
    with open(os.path.join("corpus", name), "wb") as f:
        f.write(data)
