// SPDX-License-Identifier: MIT
#include "escpos/EscPosCommands.h"

namespace tessaline {

namespace {

constexpr uint8_t ESC = 0x1B;
constexpr uint8_t GS = 0x1D;
constexpr uint8_t FS = 0x1C;
constexpr uint8_t DLE = 0x10;

uint64_t Le16(std::span<const uint8_t> c, size_t at) {
    return uint64_t{c[at]} | uint64_t{c[at + 1]} << 8;
}

// ESC * m nL nH: columns of one byte (m 0, 1) or three (m 32, 33); any other
// mode leaves the length unknown.
uint64_t ColumnImageLength(std::span<const uint8_t> c) {
    if (c.size() < 3) {
        return kNeedMore;
    }
    const uint8_t m = c[2];
    if (m != 0 && m != 1 && m != 32 && m != 33) {
        return kRestOfStream;
    }
    if (c.size() < 5) {
        return kNeedMore;
    }
    return 5 + Le16(c, 3) * (m >= 32 ? 3 : 1);
}

// ESC & y c1 c2, then for each character c1 to c2 its width x and y × x bytes.
uint64_t UserCharactersLength(std::span<const uint8_t> c) {
    if (c.size() < 5) {
        return kNeedMore;
    }
    const size_t y = c[2];
    const unsigned c1 = c[3];
    const unsigned c2 = c[4];
    uint64_t p = 5;
    for (unsigned ch = c1; ch <= c2 && c2 - c1 < 95; ++ch) {
        if (p >= c.size()) {
            return kNeedMore;
        }
        p += 1 + y * c[p];
    }
    return p;
}

// GS v 0 m xL xH yL yH and rows; GS v with another third byte is three bytes
// not understood.
uint64_t RasterLength(std::span<const uint8_t> c) {
    if (c.size() < 3) {
        return kNeedMore;
    }
    if (c[2] != 0x30 && c[2] != 0) {
        return 3;
    }
    if (c.size() < 8) {
        return kNeedMore;
    }
    return 8 + Le16(c, 4) * Le16(c, 6);
}

// GS k m d1 ... NUL (m 0 to 6), GS k m n d1 ... dn (m 65 to 79).
uint64_t BarcodeLength(std::span<const uint8_t> c) {
    if (c.size() < 3) {
        return kNeedMore;
    }
    const uint8_t m = c[2];
    if (m <= 6) {
        for (size_t i = 3; i < c.size(); ++i) {
            if (c[i] == 0) {
                return i + 1;
            }
        }
        return kNeedMore;
    }
    if (m >= 65 && m <= 79) {
        return c.size() < 4 ? kNeedMore : 4 + uint64_t{c[3]};
    }
    return kRestOfStream;
}

// GS V m, and n after m 65 or 66.
uint64_t CutLength(std::span<const uint8_t> c) {
    if (c.size() < 3) {
        return kNeedMore;
    }
    return c[2] == 65 || c[2] == 66 ? 4 : 3;
}

// FS q n, then n definitions of xL xH yL yH and x × y × 8 bytes. A size out
// of range ends the command after that definition's bytes.
uint64_t DefineImagesLength(std::span<const uint8_t> c) {
    if (c.size() < 3) {
        return kNeedMore;
    }
    uint64_t p = 3;
    for (unsigned k = 0; k < c[2]; ++k) {
        if (p + 4 > c.size()) {
            return kNeedMore;
        }
        const size_t at = static_cast<size_t>(p);
        const uint64_t x = Le16(c, at);
        const uint64_t y = Le16(c, at + 2);
        p += 4 + x * y * 8;
        if (x < 1 || x > 1023 || y < 1 || y > 288) {
            return p;
        }
    }
    return p;
}

bool StartsCommand(uint8_t byte) {
    return byte == ESC || byte == GS || byte == FS || byte == DLE;
}

using enum EscPos;

constexpr uint16_t Id(EscPos id) {
    return static_cast<uint16_t>(id);
}

constexpr CommandSpec One(uint8_t byte, EscPos id, const char* name) {
    return CommandSpec{{byte, 0, 0}, 1, Reach::Fixed, 1, 0, 1, Id(id), name, nullptr};
}
constexpr CommandSpec Two(uint8_t a, uint8_t b, uint8_t size, EscPos id, const char* name) {
    return CommandSpec{{a, b, 0}, 2, Reach::Fixed, size, 0, 1, Id(id), name, nullptr};
}
constexpr CommandSpec Measured(uint8_t a, uint8_t b, uint64_t (*measure)(std::span<const uint8_t>),
                               EscPos id, const char* name) {
    return CommandSpec{{a, b, 0}, 2, Reach::Measured, 0, 0, 1, Id(id), name, measure};
}

constexpr CommandSpec kCommands[] = {
    One(0x0A, LineFeed, "LF"),
    One(0x0D, CarriageReturn, "CR"),
    One(0x09, Tab, "HT"),

    Two(ESC, 0x40, 2, Initialise, "ESC @"),
    Two(ESC, 0x32, 2, DefaultSpacing, "ESC 2"),
    Two(ESC, 0x69, 2, CutNow, "ESC i"),
    Two(ESC, 0x6D, 2, CutNow, "ESC m"),
    Measured(ESC, 0x2A, ColumnImageLength, ColumnImage, "ESC *"),
    CommandSpec{
        {ESC, 0x44, 0}, 2, Reach::UpToNul, 2, 0, 1, Id(TabStops), "ESC D (tab stops)", nullptr},
    Measured(ESC, 0x26, UserCharactersLength, UserCharacters, "ESC &"),
    Two(ESC, '!', 3, EscWithOne, "ESC !"),
    Two(ESC, 'E', 3, EscWithOne, "ESC E"),
    Two(ESC, '-', 3, EscWithOne, "ESC -"),
    Two(ESC, 'a', 3, EscWithOne, "ESC a"),
    Two(ESC, 'd', 3, EscWithOne, "ESC d"),
    Two(ESC, 'J', 3, EscWithOne, "ESC J"),
    Two(ESC, '3', 3, EscWithOne, "ESC 3"),
    Two(ESC, 'M', 3, EscWithOne, "ESC M"),
    Two(ESC, 't', 3, EscWithOne, "ESC t"),
    Two(ESC, 'G', 3, EscWithOne, "ESC G"),
    Two(ESC, '{', 3, EscWithOne, "ESC {"),
    Two(ESC, ' ', 3, EscWithOne, "ESC  "),
    Two(ESC, 0x70, 5, NotDrawn, "ESC p (drawer pulse)"),
    Two(ESC, 0x3D, 3, NotDrawn, "ESC = (peripheral device)"),
    Two(ESC, 0x52, 3, NotDrawn, "ESC R (international characters)"),
    Two(ESC, 0x63, 4, NotDrawn, "ESC c (paper sensors and panel keys)"),
    Two(ESC, 0x72, 3, NotDrawn, "ESC r (colour)"),
    Two(ESC, 0x55, 3, NotDrawn, "ESC U (unidirectional printing)"),
    Two(ESC, 0x56, 3, NotDrawn, "ESC V (90-degree turn)"),
    Two(ESC, 0x24, 4, NotDrawn, "ESC $ (absolute position)"),
    Two(ESC, 0x5C, 4, NotDrawn, "ESC \\ (relative position)"),
    Two(ESC, 0x25, 3, NotDrawn, "ESC % (user-defined characters)"),
    Two(ESC, 0x3F, 3, NotDrawn, "ESC ? (cancel user-defined character)"),
    Two(ESC, 0x4C, 2, NotDrawn, "ESC L (page mode)"),
    Two(ESC, 0x53, 2, NotDrawn, "ESC S (standard mode)"),

    CommandSpec{{GS, 0x28, 0x4C}, 3, Reach::Count16, 5, 3, 1, Id(Graphics), "GS ( L", nullptr},
    CommandSpec{{GS, 0x38, 0x4C}, 3, Reach::Count32, 7, 3, 1, Id(Graphics), "GS 8 L", nullptr},
    CommandSpec{{GS, 0x28, 0}, 2, Reach::Count16, 5, 3, 1, Id(Extended), "GS (", nullptr},
    Measured(GS, 0x56, CutLength, Cut, "GS V"),
    Two(GS, 0x49, 3, Question, "GS I"),
    Measured(GS, 0x76, RasterLength, Raster, "GS v 0"),
    Measured(GS, 0x6B, BarcodeLength, Barcode, "GS k"),
    CommandSpec{{GS, 0x2A, 0}, 2, Reach::Area8, 4, 2, 8, Id(DownloadedImage), "GS *", nullptr},
    Two(GS, '!', 3, GsWithOne, "GS !"),
    Two(GS, 'B', 3, GsWithOne, "GS B"),
    Two(GS, 'H', 3, GsWithOne, "GS H"),
    Two(GS, 'h', 3, GsWithOne, "GS h"),
    Two(GS, 'w', 3, GsWithOne, "GS w"),
    Two(GS, 'f', 3, GsWithOne, "GS f"),
    Two(GS, 0x4C, 4, NotDrawn, "GS L (left margin)"),
    Two(GS, 0x57, 4, NotDrawn, "GS W (print area width)"),
    Two(GS, 0x50, 4, NotDrawn, "GS P (motion units)"),
    Two(GS, 0x61, 3, NotDrawn, "GS a (automatic status back)"),
    Two(GS, 0x72, 3, NotDrawn, "GS r (status transmission)"),
    Two(GS, 0x2F, 3, NotDrawn, "GS / (downloaded bit image)"),
    Two(GS, 0x3A, 2, NotDrawn, "GS : (macro definition)"),
    Two(GS, 0x5E, 5, NotDrawn, "GS ^ (macro execution)"),

    Measured(FS, 0x71, DefineImagesLength, DefineImages, "FS q"),
    Two(FS, 0x70, 4, PrintImage, "FS p"),
    CommandSpec{{FS, 0x28, 0x45}, 3, Reach::Count16, 5, 3, 1, Id(AutoLogo), "FS ( E", nullptr},
    Two(FS, 0x65, 2, EraseImages, "FS e"),
    Two(FS, 0x26, 2, KoreanOn, "FS &"),
    Two(FS, 0x2E, 2, KoreanOff, "FS ."),
    Two(FS, 0x21, 3, NotDrawn, "FS ! (Kanji print modes)"),
    Two(FS, 0x43, 3, NotDrawn, "FS C (Kanji code system)"),
    Two(FS, 0x2D, 3, NotDrawn, "FS - (Kanji underline)"),
    Two(FS, 0x57, 3, NotDrawn, "FS W (Kanji quadruple size)"),
    Two(FS, 0x53, 4, NotDrawn, "FS S (Kanji spacing)"),

    Two(DLE, 0x04, 3, Question, "DLE EOT"),
    Two(DLE, 0x05, 3, NotDrawn, "DLE ENQ (real-time request)"),
    Two(DLE, 0x14, 5, NotDrawn, "DLE DC4 (real-time command)"),
};

constexpr CommandLanguage kEscPos{"ESC/POS", kCommands, StartsCommand};

} // namespace

const CommandLanguage& EscPosCommands() {
    return kEscPos;
}

} // namespace tessaline
