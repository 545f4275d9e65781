// SPDX-License-Identifier: MIT
#pragma once

// Builds PNG, JPEG and GIF files in memory for tests, with the system's own
// encoders: any PNG colour type, depth and interlace, tRNS; grey, YCbCr and
// Adobe CMYK JPEG, baseline or progressive, with an EXIF orientation; GIF
// with a transparent index, interlaced or not.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace tessaline::test {

struct PngSpec {
    int width = 1;
    int height = 1;
    int colourType = 2; // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<std::array<uint8_t, 3>> palette;
    std::vector<uint8_t> paletteAlpha;            // tRNS of a palette file
    std::optional<std::array<uint16_t, 3>> clear; // tRNS of a grey (first) or RGB file
    // The samples of pixel (x, y from the top) at the file's depth, in the
    // colour type's order; the palette index for colour type 3.
    std::function<std::array<uint16_t, 4>(int x, int y)> samples;
};
std::vector<uint8_t> MakePng(const PngSpec& spec);

struct JpegSpec {
    int width = 1;
    int height = 1;
    int components = 3; // 1 grey, 3 YCbCr, 4 CMYK as Adobe stores it (inverted)
    bool progressive = false;
    int quality = 100;
    // The samples of pixel (x, y from the top): grey, R G B, or C M Y K as stored.
    std::function<std::array<uint8_t, 4>(int x, int y)> samples;
};
std::vector<uint8_t> MakeJpeg(const JpegSpec& spec);
// The same file with an EXIF segment giving `orientation`, in either byte order.
std::vector<uint8_t> WithExifOrientation(const std::vector<uint8_t>& jpeg, int orientation,
                                         bool bigEndian);

struct GifSpec {
    int width = 1;
    int height = 1;
    std::vector<std::array<uint8_t, 3>> palette; // a power of two, 2 to 256 entries
    int transparent = -1;
    bool interlaced = false;
    std::function<uint8_t(int x, int y)> index;
};
std::vector<uint8_t> MakeGif(const GifSpec& spec);

} // namespace tessaline::test
