// SPDX-License-Identifier: MIT
#include "GreyLevel.h"

#include <bit>

namespace tessaline {

namespace {

uint32_t Le16(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8;
}
uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// The usual layout of a 16-bit file without masks: 5-5-5.
constexpr ColourMasks kMasks555{0x7C00, 0x03E0, 0x001F, 0};

} // namespace

GreyLevels::GreyLevels(const DecodedBitmap& bitmap, int64_t offset)
    : m_depth(bitmap.description.bmBitsPixel) {
    for (int c = 0; c < 256; ++c) {
        m_weightGreen[static_cast<std::size_t>(c)] = 0.587 * c;
        m_weightRed[static_cast<std::size_t>(c)] = 0.299 * c;
        m_weightBlue[static_cast<std::size_t>(c)] = 0.114 * c;
    }
    for (int c = 0; c < 256; ++c) {
        const int64_t v = c + offset;
        m_shifted[static_cast<std::size_t>(c)] =
            static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
    }
    for (std::size_t i = 0; i < m_indexGrey.size(); ++i) {
        if (i < bitmap.palette.size()) {
            const PaletteEntry& e = bitmap.palette[i];
            m_indexGrey[i] = Weigh(e.blue, e.green, e.red);
        } else {
            m_indexGrey[i] = Weigh(0, 0, 0); // an index past the palette is black
        }
    }
    const bool masked16 = m_depth == 16;
    const bool masked32 = m_depth == 32 && bitmap.hasMasks;
    if (masked16 || masked32) {
        m_byMasks = true;
        const ColourMasks& masks = bitmap.hasMasks ? bitmap.masks : kMasks555;
        m_red = MakeField(masks.red);
        m_green = MakeField(masks.green);
        m_blue = MakeField(masks.blue);
        m_alpha = bitmap.hasMasks && masks.alpha != 0;
        m_alphaField = MakeField(masks.alpha);
    }
}

GreyLevels::Field GreyLevels::MakeField(uint32_t mask) {
    Field f;
    f.mask = mask;
    if (mask != 0) {
        f.shift = static_cast<unsigned>(std::countr_zero(mask));
        f.max = mask >> f.shift;
    }
    return f;
}

uint8_t GreyLevels::Field::Scaled(uint32_t value) const {
    if (max == 0) {
        return 0;
    }
    const uint64_t v = (value & mask) >> shift;
    return static_cast<uint8_t>((v * 255 + max / 2) / max);
}

uint8_t GreyLevels::MaskedGrey(uint32_t value) const {
    uint32_t r = m_red.Scaled(value);
    uint32_t g = m_green.Scaled(value);
    uint32_t b = m_blue.Scaled(value);
    if (m_alpha) {
        // Laid over white paper, so transparent areas print as paper.
        const uint32_t a = m_alphaField.Scaled(value);
        const uint32_t paper = 255 * (255 - a) + 127;
        r = (r * a + paper) / 255;
        g = (g * a + paper) / 255;
        b = (b * a + paper) / 255;
    }
    return Weigh(static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r));
}

void GreyLevels::Row(const uint8_t* row, std::size_t width, uint8_t* grey) const {
    switch (m_depth) {
    case 24: {
        // A logo is mostly runs of one colour: the last colour's grey is kept,
        // and weighed again only when the colour changes.
        uint32_t last = UINT32_MAX;
        uint8_t lastGrey = 0;
        for (std::size_t x = 0; x < width; ++x, row += 3) {
            const uint32_t colour =
                uint32_t{row[0]} | uint32_t{row[1]} << 8 | uint32_t{row[2]} << 16;
            if (colour != last) {
                last = colour;
                lastGrey = Weigh(row[0], row[1], row[2]);
            }
            grey[x] = lastGrey;
        }
        return;
    }
    case 32:
        for (std::size_t x = 0; x < width; ++x, row += 4) {
            grey[x] = m_byMasks ? MaskedGrey(Le32(row)) : Weigh(row[0], row[1], row[2]);
        }
        return;
    case 16:
        for (std::size_t x = 0; x < width; ++x, row += 2) {
            grey[x] = MaskedGrey(Le16(row));
        }
        return;
    case 8:
        for (std::size_t x = 0; x < width; ++x) {
            grey[x] = m_indexGrey[row[x]];
        }
        return;
    case 4:
        for (std::size_t x = 0; x < width; ++x) {
            const uint8_t pair = row[x / 2];
            grey[x] = m_indexGrey[x % 2 == 0 ? pair >> 4 : pair & 0x0F];
        }
        return;
    default:
        for (std::size_t x = 0; x < width; ++x) {
            grey[x] = 0;
        }
        return;
    }
}

} // namespace tessaline
