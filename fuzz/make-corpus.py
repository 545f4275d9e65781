#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the fuzzers' seed corpora, one folder a kind of input:

  corpus/bmp/       one small BMP of each kind the decoder accepts (the BMP
                    and imaging targets)
  corpus/escpos/    printer jobs: uploads, printouts, erases, refused ones
  corpus/ini/       settings files and registry files (the INI reader)
  corpus/registry/  component registry files
  corpus/star-replies/  what Star printers answer (status, version, graphics)
  corpus/networks/  what discover takes as a network: addresses, blocks, ranges
  corpus/ieee1284/  USB printers' IEEE 1284 device IDs, with and without length
  corpus/png/, corpus/jpeg/, corpus/gif/
                    small pictures of each colour type, depth and layout the
                    decoders take, made with ImageMagick's convert

Beside them, corpus/bmp/ and corpus/png/ keep logos other programs wrote
(magick-*, pillow-*, netpbm-*: ImageMagick, Python's Pillow, netpbm's
ppmtobmp), as those programs wrote them; this script leaves them alone, and
the imaging tests read them too. corpus/escpos/star-line-receipt.bin is a
receipt from a POS library's Star Line Mode encoder, kept as it wrote it.

Run from this folder."""
import os
import struct
import subprocess


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


def upload(*images):
    """ESC @, then FS q n with each image's x, y (8-dot units) and raster."""
    out = bytes([0x1B, 0x40, 0x1C, 0x71, len(images)])
    for x, y, fill in images:
        out += struct.pack("<HH", x, y) + bytes([fill]) * (x * y * 8)
    return out


def print_image(n, mode=0x30):
    return bytes([0x1C, 0x70, n, mode])


CUT = bytes([0x1D, 0x56, 0x42, 0x01])
ERASE = bytes([0x1C, 0x65])

jobs = {
    "upload-two.bin": upload((1, 1, 0xFF), (2, 1, 0x5A)),
    "upload-wide.bin": upload((72, 2, 0x81)),
    "print-all.bin": b"".join(print_image(n) for n in range(1, 256)) + CUT,
    "print-range-sizes.bin": print_image(1, 0x31) + print_image(2, 0x33) + print_image(1, 2) + CUT,
    "erase.bin": ERASE,
    "upload-then-print.bin": upload((2, 2, 0x3C)) + print_image(1, 0x32) + bytes([0x1D, 0x56, 0x41, 24]),
    "refused-size.bin": bytes([0x1B, 0x40, 0x1C, 0x71, 1]) + struct.pack("<HH", 0, 3),
    "refused-short.bin": upload((4, 4, 0xAA))[:-9],
    "cuts-and-noise.bin": b"hello\n" + bytes([0x1D, 0x56, 0, 0x1D, 0x56, 49, 0x1B, 0x21, 0]) + CUT,
    # Receipts: text in each mode and code page, Korean two-byte text, wrapping.
    "receipt-text.bin": b"\x1b@\x1b!\x38TITLE\n\x1b!\x00\x1bE\x01bold\x1bE\x00\x1b-\x02u\x1b-\x00"
                        b"\x1da\x01\x1d!\x71big\x1d!\x00\x1dB\x01rev\x1dB\x00\x1b{\x01up\n\x1b{\x00"
                        b"\x1bM\x01font B\t\x9c\xe9\x1bt\x10\xe9\x1bt\x00\x1b3\x10\x1b2\x1b \x02"
                        b"\x1c&\xc7\xd1\xb1\xb9\xbe\xee\x81\x41\xfe\xfe\x1c." + b"wrap " * 30 + b"\n\x1bd\x02\x1bJ\x10\x1bi",
    # Pictures: raster in the four scales, column images, the graphics buffer, stored logos.
    "receipt-pictures.bin": b"\x1dv0\x00\x02\x00\x02\x00\xf0\x0f\x81\x81\x1dv03\x01\x00\x01\x00\xaa"
                            b"\x1b*\x21\x02\x00\xff\x00\xff\x00\xff\x00\x1b*\x00\x01\x00\x81\n"
                            b"\x1d(L\x0b\x000p0\x02\x021\x08\x00\x01\x00\xff\x1d(L\x02\x0002"
                            b"\x1ba\x01\x1cp\x01\x00\x1d(L\x06\x000E  \x01\x01\x1bm",
    # Codes: bar codes with their human-readable line, a QR code stored and printed.
    "receipt-codes.bin": b"\x1dH\x03\x1dh\x20\x1dw\x02\x1dkC\x0c400638133393\x1dkA\x0b03600029145"
                         b"\x1dkE\x03AB1\x1dkI\x06{BAB12\x1dk\x04*X*\x00"
                         b"\x1d(k\x04\x001A2\x00\x1d(k\x03\x001C\x03\x1d(k\x03\x001E1"
                         b"\x1d(k\x07\x001P0shop\x1d(k\x03\x001Q0" + CUT,
}

settings = {
    "corvido.ini": "[LOGO]\nLogofile1=/srv/logos/shop.bmp|shop.bmp|7680|160|384\n"
                   "Logofile2=/srv/logos/coupon.bmp|coupon.bmp|2048|64|256\n",
    "corvido-crlf.ini": "[LOGO]\r\nLogofile1 = C:\\Logos\\a.bmp|a.bmp|8|8|8\r\n\r\n",
    "two-sections.ini": "; kept\n[Other]\nLogofile1=x\n[ logo ]\nLOGOFILE2=y\nLogofile2=z\n[LOGO\n",
}

registries = {
    "components.reg": "# Tessaline component registry\n\n"
                      "[CLSID\\{D20B7BA2-F718-4DA7-8DE3-7A07C0B383A5}]\n"
                      "ProgID=TESSALINE.TessalineCtrl.1\nUserTypeName=Tessaline Control\n"
                      "InprocServer32=/usr/lib/libtessaline-control.so\nThreadingModel=Apartment\n"
                      "Control=1\nInsertable=0\nToolboxBitmap32=1\nMiscStatus=131473\n"
                      "TypeLib={C55950F9-B8E7-4BEA-B316-2A86074C54F8}\nVersion=1.0\n\n"
                      "[ProgID\\TESSALINE.TessalineCtrl.1]\n"
                      "CLSID={D20B7BA2-F718-4DA7-8DE3-7A07C0B383A5}\nUserTypeName=Tessaline Control\n\n"
                      "[TypeLib\\{C55950F9-B8E7-4BEA-B316-2A86074C54F8}\\1.0]\nName=TESSALINELib\n"
                      "HelpString=Tessaline ActiveX Control module\nHelpFile=Tessaline.hlp\n"
                      "Path=/usr/lib/libtessaline-control.so\n",
    "foreign-unterminated.reg": "; another program's entries\n[clsid\\{11111111-2222-3333-4444-555555555555}]\n"
                                "  InprocServer32 =\t/opt/x.so \nprogid=Other.Ctrl.1",
}


def write(folder, name, data):
    os.makedirs(os.path.join("corpus", folder), exist_ok=True)
    with open(os.path.join("corpus", folder, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())


for name, data in files.items():
    write("bmp", name, data)
for name, data in jobs.items():
    write("escpos", name, data)
for name, data in {**settings, **registries}.items():
    write("ini", name, data)
for name, data in registries.items():
    write("registry", name, data)

# What a Star printer sends back: automatic statuses, its version text, NV
# graphics key lists and stored graphics; the first byte is where the fuzzer
# splits the rest.
star_replies = {
    "status-ready": b"\x04" + bytes.fromhex("23 06 00 00 00 00 00 00 00"),
    "status-cover-paper": b"\x03" + bytes.fromhex("11 23 06 20 08 00 08 00 00 00"),
    "status-short": b"\x01" + bytes.fromhex("0F 02 08 00 00 00 00"),
    "version": b"\x05" + bytes.fromhex("1B 23 2A 2C") + b"TSP143IIIW Ver1.0" + b"\n\0",
    "keys": b"\x06" + bytes.fromhex("1B 1D 29 4C 03 00 32 06 00 30 31 30 32 0A 00"),
    "graphic": b"\x09" + bytes.fromhex("1B 1D 29 4C 03 00 33 41 31 01 09 00 02 00 31 FF 80 01 00 0A 00"),
    "not-stored": b"\x02" + bytes.fromhex("1B 1D 29 4C 03 00 33 41 31 0A 00"),
}
for name, data in star_replies.items():
    write("star-replies", name, data)

# Networks as discover's command line gives them, good and bad.
networks = {
    "v4": "127.0.0.1", "block": "127.0.0.0/24", "range": "127.0.0.20-127.0.0.60",
    "short-range": "127.0.0.20-60", "v6": "::1", "v6-block": "fd00::/120",
    "v6-range": "fd00::1-fd00::ff", "v6-mapped": "::ffff:127.0.0.1", "too-large": "127.0.0.0/8",
    "backwards": "127.0.0.9-127.0.0.2", "bad-prefix": "127.0.0.0/33",
}
for name, data in networks.items():
    write("networks", name, data)

# IEEE 1284 device IDs as usblp shows them, and as the device sends them.
ids = {
    "epson": "MFG:EPSON;CMD:ESC/POS;MDL:TM-T20II;CLS:PRINTER;DES:TM-T20II;SN:X4EQ012345;\n",
    "star": "MANUFACTURER:STAR;COMMAND SET:STAR;MODEL:TSP143IIIU;CLASS:PRINTER;",
    "prefixed": b"\x00\x1eMFG:Acme;MDL:R1;CMD:ESC/POS;",
    "no-field": "hello",
}
for name, data in ids.items():
    write("ieee1284", name, data)


# One small logo with grey edges and a transparent corner, written in each
# layout the picture decoders read.
LOGO = ["-size", "24x16", "gradient:black-white", "-fill", "none", "-draw", "rectangle 0,0 5,5"]
pictures = {
    "png": {"rgba.png": ["-alpha", "set", "-channel", "A", "-fx", "i<6&&j<6?0:1", "+channel",
                         "PNG32:"],
            "rgb16.png": ["-depth", "16", "PNG48:"],
            "grey1.png": ["-threshold", "50%", "-colorspace", "Gray", "-depth", "1", "PNG8:"],
            "palette.png": ["-colors", "16", "PNG8:"],
            "grey-interlaced.png": ["-colorspace", "Gray", "-interlace", "PNG", "PNG:"]},
    "jpeg": {"ycbcr.jpg": ["-quality", "80", "JPEG:"],
             "progressive.jpg": ["-interlace", "JPEG", "JPEG:"],
             "grey.jpg": ["-colorspace", "Gray", "JPEG:"],
             "cmyk.jpg": ["-colorspace", "CMYK", "JPEG:"]},
    "gif": {"logo.gif": ["-colors", "8", "GIF:"],
            "transparent.gif": ["-alpha", "set", "-channel", "A", "-fx", "i<6&&j<6?0:1",
                                "+channel", "GIF:"],
            "interlaced.gif": ["-interlace", "GIF", "GIF:"]},
}
for folder, kinds in pictures.items():
    for name, options in kinds.items():
        data = subprocess.run(["convert", *LOGO, *options[:-1], options[-1] + "-"],
                              check=True, capture_output=True).stdout
        write(folder, name, data)
