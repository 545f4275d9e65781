// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tessaline {

namespace toolbox {

inline constexpr int kWidth = 16;
inline constexpr int kHeight = 15;
inline constexpr size_t kPaletteOffset = 14 + 40;
inline constexpr size_t kPixelOffset = kPaletteOffset + 16 * 4;
inline constexpr size_t kStride = 8; // 16 pixels of 4 bits, already a multiple of 4
inline constexpr size_t kFileSize = kPixelOffset + kStride * kHeight;

// A receipt printer with a receipt coming out of it, in the 16 standard
// colours (one hexadecimal digit a pixel, top row first). Silver is the
// background, which toolboxes take from the bottom-left pixel as transparent.
inline constexpr std::array<std::string_view, kHeight> kPicture{{
    "77777FFFFFF77777",
    "77777F0000F77777",
    "77777FFFFFF77777",
    "77777F00F0F77777",
    "77777FFFFFF77777",
    "7000000000000007",
    "0F88888888888880",
    "0F8888888888A880",
    "0F88888888888880",
    "0F80000000000880",
    "0F88888888888880",
    "0888888888888880",
    "7000000000000007",
    "7707777777777077",
    "7777777777777777",
}};

// The 16 colours as blue, green, red.
inline constexpr std::array<std::array<uint8_t, 3>, 16> kPalette{{
    {0x00, 0x00, 0x00},
    {0x00, 0x00, 0x80},
    {0x00, 0x80, 0x00},
    {0x00, 0x80, 0x80},
    {0x80, 0x00, 0x00},
    {0x80, 0x00, 0x80},
    {0x80, 0x80, 0x00},
    {0xC0, 0xC0, 0xC0},
    {0x80, 0x80, 0x80},
    {0x00, 0x00, 0xFF},
    {0x00, 0xFF, 0x00},
    {0x00, 0xFF, 0xFF},
    {0xFF, 0x00, 0x00},
    {0xFF, 0x00, 0xFF},
    {0xFF, 0xFF, 0x00},
    {0xFF, 0xFF, 0xFF},
}};

constexpr uint8_t Nibble(char c) {
    return static_cast<uint8_t>(c <= '9' ? c - '0' : c - 'A' + 10);
}

constexpr void Put32(std::array<uint8_t, kFileSize>& out, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        out[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

constexpr std::array<uint8_t, kFileSize> Build() {
    std::array<uint8_t, kFileSize> out{};
    out[0] = 'B';
    out[1] = 'M';
    Put32(out, 2, kFileSize);
    Put32(out, 10, kPixelOffset);
    Put32(out, 14, 40);
    Put32(out, 18, kWidth);
    Put32(out, 22, kHeight); // positive: rows stored bottom-up
    out[26] = 1;             // planes
    out[28] = 4;             // bits per pixel
    Put32(out, 34, kStride * kHeight);
    Put32(out, 46, 16); // colours used
    for (size_t i = 0; i < kPalette.size(); ++i) {
        for (size_t c = 0; c < 3; ++c) {
            out[kPaletteOffset + 4 * i + c] = kPalette[i][c];
        }
    }
    for (size_t stored = 0; stored < kHeight; ++stored) {
        const std::string_view row = kPicture[kHeight - 1 - stored];
        for (size_t x = 0; x < kWidth; x += 2) {
            out[kPixelOffset + stored * kStride + x / 2] =
                static_cast<uint8_t>(Nibble(row[x]) << 4 | Nibble(row[x + 1]));
        }
    }
    return out;
}

constexpr bool PictureIsWellFormed() {
    for (std::string_view row : kPicture) {
        if (row.size() != kWidth) {
            return false;
        }
        for (char c : row) {
            if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
                return false;
            }
        }
    }
    return true;
}
static_assert(PictureIsWellFormed(), "every row holds 16 hexadecimal colour digits");

} // namespace toolbox

// Bitmap resource 1: the toolbox picture as a complete 16 × 15, 4-bit BMP file.
inline constexpr std::array<uint8_t, toolbox::kFileSize> kToolboxBitmap = toolbox::Build();

} // namespace tessaline
