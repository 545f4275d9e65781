#pragma once

#include "BmpReader.h"

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

    // The weighed grey of one colour, offset already applied to each byte.
    uint8_t Weigh(uint8_t blue, uint8_t green, uint8_t red) const;

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
    std::array<uint8_t, 256> m_shifted{};   // byte + offset, clamped to 0..255
    std::array<uint8_t, 256> m_indexGrey{}; // palette index -> grey
    bool m_byMasks = false;                 // 16 bits, or 32 bits in an unusual order
    bool m_alpha = false;
    Field m_red, m_green, m_blue, m_alphaField;
};

} // namespace tessaline
