// SPDX-License-Identifier: MIT
#pragma once

#include "imaging/BmpReader.h"

#include <array>
#include <cstdint>

namespace tessaline {

// Turns the pixels of one decoded bitmap into grey levels (0 black to 255
// white): each colour, however the file stores it, is brought to blue, green
// and red bytes, shifted by the brightness offset with clamping, and weighed
// as trunc((0.587 G + 0.299 R) + 0.114 B) in double precision.
class GreyLevels {
public:
    GreyLevels(const DecodedBitmap& bitmap, int64_t offset);

    // Grey levels of the first `width` pixels of one stored row.
    void Row(const uint8_t* row, std::size_t width, uint8_t* grey) const;

    // The grey of blank paper (white, the offset applied), for pixels a file
    // leaves transparent or unset.
    uint8_t Paper() const { return Weigh(255, 255, 255); }

    // The weighed grey of one colour, the offset applied to each byte first.
    uint8_t Weigh(uint8_t blue, uint8_t green, uint8_t red) const {
        const uint8_t g = m_shifted[green];
        const uint8_t r = m_shifted[red];
        const uint8_t b = m_shifted[blue];
        // In thousandths the weighed sum is exact; the double sum can only
        // land on the other side of a whole number when the exact sum is that
        // whole number (128, 128, 128 weighs 127.999...), so only then is it
        // worked out in double.
        const unsigned thousandths = 587u * g + 299u * r + 114u * b;
        const unsigned whole = thousandths / 1000;
        if (whole * 1000 != thousandths) {
            return static_cast<uint8_t>(whole);
        }
        const double sum = (m_weightGreen[g] + m_weightRed[r]) + m_weightBlue[b];
        return static_cast<uint8_t>(static_cast<int>(sum));
    }

private:
    struct Field {
        uint32_t mask = 0;
        unsigned shift = 0;
        uint32_t max = 0;
        uint8_t Scaled(uint32_t value) const;
    };
    static Field MakeField(uint32_t mask);
    uint8_t MaskedGrey(uint32_t value) const;

    uint16_t m_depth = 0;
    // Each product rounded to double once, as the weighed sum is defined: the
    // sum of table entries is bit for bit the sum of the products.
    std::array<double, 256> m_weightGreen{}, m_weightRed{}, m_weightBlue{};
    std::array<uint8_t, 256> m_shifted{};   // byte + offset, clamped to 0..255
    std::array<uint8_t, 256> m_indexGrey{}; // palette index -> grey
    bool m_byMasks = false;                 // 16 bits, or 32 bits in an unusual order
    bool m_alpha = false;
    Field m_red, m_green, m_blue, m_alphaField;
};

} // namespace tessaline
