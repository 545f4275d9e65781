// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessaline {

// A one-bit picture: rows from the top, each packed most significant bit
// first, a 1 bit is a black dot.
struct MonoPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bits;

    size_t RowBytes() const { return (static_cast<size_t>(width) + 7) / 8; }

    // An all-white picture of the given size.
    static MonoPicture Blank(int w, int h) {
        MonoPicture p;
        p.width = w;
        p.height = h;
        p.bits.assign(p.RowBytes() * static_cast<size_t>(h), 0);
        return p;
    }

    // Grows the picture downwards by white rows.
    void AddRows(int rows) {
        height += rows;
        bits.resize(RowBytes() * static_cast<size_t>(height), 0);
    }

    bool Dot(int x, int y) const {
        const size_t at = static_cast<size_t>(y) * RowBytes() + static_cast<size_t>(x) / 8;
        return (bits[at] >> (7 - x % 8) & 1) != 0;
    }

    void SetDot(int x, int y) {
        const size_t at = static_cast<size_t>(y) * RowBytes() + static_cast<size_t>(x) / 8;
        bits[at] = static_cast<uint8_t>(bits[at] | (0x80 >> (x % 8)));
    }
};

} // namespace tessaline
