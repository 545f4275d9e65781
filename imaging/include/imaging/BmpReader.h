// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tessaline {

// The description of a loaded bitmap, shaped like the platform's BITMAP record.
struct BitmapDescription {
    int32_t bmType = 0;
    int32_t bmWidth = 0;
    int32_t bmHeight = 0;     // always positive: rows are delivered bottom-up
    int32_t bmWidthBytes = 0; // 4-byte BMP stride of the delivered rows
    uint16_t bmPlanes = 0;
    uint16_t bmBitsPixel = 0;
};

struct PaletteEntry {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t reserved = 0;
};

// Colour masks of a 16- or 32-bit bitmap. Present only when the file uses
// bit-field compression; otherwise the depth's usual layout applies.
struct ColourMasks {
    uint32_t red = 0;
    uint32_t green = 0;
    uint32_t blue = 0;
    uint32_t alpha = 0;
};

// A BMP file decoded into the layout every later step expects: bottom-up rows
// of bmWidthBytes bytes each (stored row 0 is the bottom of the picture), in
// the file's own depth. RLE files are expanded to plain 4- or 8-bit rows, with
// every pixel the stream skips or never sets holding index 0 and marked in
// `skipped`: such pixels are paper.
struct DecodedBitmap {
    BitmapDescription description;
    std::vector<uint8_t> pixels; // bmWidthBytes * bmHeight bytes
    std::vector<PaletteEntry> palette;
    bool hasMasks = false; // true only under bit-field compression
    ColourMasks masks;
    // RLE files only (empty otherwise): one bit per pixel, set where the
    // stream left the pixel unset; rows of (bmWidth + 7) / 8 bytes, bottom-up,
    // pixel x in bit 7 - x % 8 of byte x / 8.
    std::vector<uint8_t> skipped;
    // Bits per pixel as the file stores them, where the rows hold another
    // depth (a PNG, JPEG or GIF file laid out as 24-bit rows); 0 otherwise.
    uint16_t fileBitsPixel = 0;
    // CheckBmp of a plain file only: its rows were not laid out, `pixels`
    // is empty, and DecodeBmp of the same bytes delivers them.
    bool rowsLeft = false;

    bool IsSkipped(size_t x, size_t storedRow) const {
        if (skipped.empty())
            return false;
        const size_t rowBytes = (static_cast<size_t>(description.bmWidth) + 7) / 8;
        return (skipped[storedRow * rowBytes + x / 8] >> (7 - x % 8)) & 1u;
    }
};

// Decodes a whole BMP file held in memory. Refuses, with a reason, every file
// it does not understand; never reads outside `file`.
Result<DecodedBitmap> DecodeBmp(std::span<const uint8_t> file);
// The same, taking the file's bytes: a plain (not RLE) file's rows are laid
// out in the memory that held them, where a large logo would otherwise take
// as much new memory again. `file` is left empty or as it was.
Result<DecodedBitmap> DecodeBmp(std::vector<uint8_t>&& file);

// Makes every check DecodeBmp makes and gives what it gives, except that a
// plain file's rows (not RLE) are not laid out: rowsLeft is set, and decoding
// the same bytes cannot fail then. An RLE file is expanded whole, as only
// expanding it checks it.
Result<DecodedBitmap> CheckBmp(std::span<const uint8_t> file);

// Reads a whole regular file into memory, refusing others and files too large
// to be a logo; the reason does not repeat the path.
Result<std::vector<uint8_t>> ReadFileBytes(const std::string& path);

} // namespace tessaline
