// SPDX-License-Identifier: MIT
#pragma once

// Builds BMP files in memory for tests: any depth, header size, row order,
// palette, masks and compression, with pixels from a callback or raw bytes.

#include "tests/support/Files.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessaline::test {

struct Bgra {
    uint8_t b = 0;
    uint8_t g = 0;
    uint8_t r = 0;
    uint8_t a = 0;
};

struct Bgr {
    uint8_t b = 0;
    uint8_t g = 0;
    uint8_t r = 0;
};

struct BmpMasks {
    uint32_t r = 0;
    uint32_t g = 0;
    uint32_t b = 0;
    uint32_t a = 0;
};

struct BmpSpec {
    int32_t width = 1;
    int32_t height = 1; // written negated when topDown is set
    uint16_t bitsPerPixel = 24;
    uint32_t headerSize = 40; // 12 (core: 16-bit sizes, 3-byte palette), 40, 52, 56, 108,
                              // 124; others are written as asked
    bool topDown = false;
    uint32_t compression = 0; // 0 RGB, 1 RLE8, 2 RLE4, 3 BITFIELDS
    std::vector<Bgra> palette;
    // With a 40-byte header the R, G, B masks follow the header as 12 bytes;
    // larger headers carry them at offsets 40, 44, 48 and (56 bytes up) 52.
    std::optional<BmpMasks> masks;
    uint32_t coloursUsed = 0;
    std::optional<uint32_t> pixelOffset; // default: right after header, masks, palette
    std::optional<uint32_t> imageSize;   // default: the length of the pixel data
    // Stored pixel data exactly as it goes into the file (rows in file order,
    // or an RLE stream). Used verbatim when non-empty; otherwise `pixel` is asked.
    std::vector<uint8_t> raw;
    // Value of pixel (x, y counted from the top): the index for 1-8 bpp, the
    // packed value for 16 and 32 bpp, 0x00RRGGBB for 24 bpp.
    std::function<uint32_t(int x, int yTop)> pixel;
};

inline int64_t BmpStride(int64_t width, int64_t bitsPerPixel) {
    return ((width * bitsPerPixel + 31) / 32) * 4;
}

namespace detail {

inline void Put16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

inline void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline std::vector<uint8_t> StoredRows(const BmpSpec& s) {
    if (!s.raw.empty() || !s.pixel || s.width <= 0 || s.height <= 0)
        return s.raw;
    const auto stride = static_cast<size_t>(BmpStride(s.width, s.bitsPerPixel));
    std::vector<uint8_t> rows(stride * static_cast<size_t>(s.height), 0);
    for (int row = 0; row < s.height; ++row) {
        const int yTop = s.topDown ? row : s.height - 1 - row;
        uint8_t* line = rows.data() + static_cast<size_t>(row) * stride;
        for (int x = 0; x < s.width; ++x) {
            const uint32_t v = s.pixel(x, yTop);
            const auto ux = static_cast<size_t>(x);
            switch (s.bitsPerPixel) {
            case 1:
                line[ux / 8] |= static_cast<uint8_t>((v & 1u) << (7 - ux % 8));
                break;
            case 4:
                line[ux / 2] |= static_cast<uint8_t>((v & 0xFu) << (ux % 2 ? 0 : 4));
                break;
            default: {
                const size_t bytes = s.bitsPerPixel / 8u;
                for (size_t i = 0; i < bytes; ++i)
                    line[ux * bytes + i] = static_cast<uint8_t>(v >> (8 * i));
            }
            }
        }
    }
    return rows;
}

} // namespace detail

inline std::vector<uint8_t> BuildBmp(const BmpSpec& s) {
    const std::vector<uint8_t> pixels = detail::StoredRows(s);
    const bool masksAfterHeader = s.masks && s.headerSize == 40;
    const bool core = s.headerSize == 12;
    const size_t entryBytes = core ? 3 : 4;
    const size_t headerBytes = s.headerSize;
    const size_t paletteAt = 14 + headerBytes + (masksAfterHeader ? 12 : 0);
    const size_t naturalOffset = paletteAt + entryBytes * s.palette.size();
    const size_t pixelAt = s.pixelOffset.value_or(static_cast<uint32_t>(naturalOffset));
    const size_t total = std::max(naturalOffset, pixelAt) + pixels.size();

    std::vector<uint8_t> out(std::max(total, size_t{14} + std::max(headerBytes, size_t{40})), 0);
    out[0] = 'B';
    out[1] = 'M';
    detail::Put32(out, 2, static_cast<uint32_t>(total));
    detail::Put32(out, 10, static_cast<uint32_t>(pixelAt));

    detail::Put32(out, 14, s.headerSize);
    if (core) {
        detail::Put16(out, 18, static_cast<uint32_t>(s.width));
        detail::Put16(out, 20, static_cast<uint32_t>(s.height));
        detail::Put16(out, 22, 1);
        detail::Put16(out, 24, s.bitsPerPixel);
        for (size_t i = 0; i < s.palette.size(); ++i) {
            out[paletteAt + 3 * i] = s.palette[i].b;
            out[paletteAt + 3 * i + 1] = s.palette[i].g;
            out[paletteAt + 3 * i + 2] = s.palette[i].r;
        }
        std::copy(pixels.begin(), pixels.end(), out.begin() + static_cast<std::ptrdiff_t>(pixelAt));
        out.resize(total);
        return out;
    }
    detail::Put32(out, 18, static_cast<uint32_t>(s.width));
    detail::Put32(out, 22, static_cast<uint32_t>(s.topDown ? -s.height : s.height));
    detail::Put16(out, 26, 1);
    detail::Put16(out, 28, s.bitsPerPixel);
    detail::Put32(out, 30, s.compression);
    detail::Put32(out, 34, s.imageSize.value_or(static_cast<uint32_t>(pixels.size())));
    detail::Put32(out, 38, 2835);
    detail::Put32(out, 42, 2835);
    detail::Put32(out, 46, s.coloursUsed);
    if (s.masks) {
        const size_t at = masksAfterHeader ? 54 : 14 + 40;
        if (masksAfterHeader || headerBytes >= 52) {
            detail::Put32(out, at, s.masks->r);
            detail::Put32(out, at + 4, s.masks->g);
            detail::Put32(out, at + 8, s.masks->b);
        }
        if (!masksAfterHeader && headerBytes >= 56)
            detail::Put32(out, at + 12, s.masks->a);
    }
    if (headerBytes >= 108)
        detail::Put32(out, 14 + 56, 0x73524742); // 'sRGB' colour space
    for (size_t i = 0; i < s.palette.size(); ++i) {
        const Bgra& e = s.palette[i];
        out[paletteAt + 4 * i] = e.b;
        out[paletteAt + 4 * i + 1] = e.g;
        out[paletteAt + 4 * i + 2] = e.r;
        out[paletteAt + 4 * i + 3] = e.a;
    }
    // Pixel data written over the palette area is the caller's deliberate overlap.
    std::copy(pixels.begin(), pixels.end(), out.begin() + static_cast<std::ptrdiff_t>(pixelAt));
    out.resize(total);
    return out;
}

inline std::vector<uint8_t> Make24(int w, int h, const std::function<Bgr(int x, int yTop)>& fn) {
    BmpSpec s;
    s.width = w;
    s.height = h;
    s.bitsPerPixel = 24;
    s.pixel = [fn](int x, int y) {
        const Bgr c = fn(x, y);
        return uint32_t{c.b} | uint32_t{c.g} << 8 | uint32_t{c.r} << 16;
    };
    return BuildBmp(s);
}

// A w × h 24-bit logo, black where `black` says and white elsewhere.
inline std::vector<uint8_t> MakeBlackOnWhite(int w, int h,
                                             const std::function<bool(int x, int yTop)>& black) {
    return Make24(w, h, [&black](int x, int y) {
        return black(x, y) ? Bgr{0, 0, 0} : Bgr{255, 255, 255};
    });
}

inline std::vector<uint8_t> MakeIndexed(int w, int h, uint16_t bpp, std::vector<Bgra> palette,
                                        const std::function<uint8_t(int x, int yTop)>& fn) {
    BmpSpec s;
    s.width = w;
    s.height = h;
    s.bitsPerPixel = bpp;
    s.palette = std::move(palette);
    s.pixel = [fn](int x, int y) { return uint32_t{fn(x, y)}; };
    return BuildBmp(s);
}

inline std::vector<uint8_t> Make8(int w, int h, std::vector<Bgra> palette,
                                  const std::function<uint8_t(int x, int yTop)>& fn) {
    return MakeIndexed(w, h, 8, std::move(palette), fn);
}

inline std::vector<uint8_t> Make4(int w, int h, std::vector<Bgra> palette,
                                  const std::function<uint8_t(int x, int yTop)>& fn) {
    return MakeIndexed(w, h, 4, std::move(palette), fn);
}

// A one-bit file with the usual two-entry palette; fn gives 0 or 1.
inline std::vector<uint8_t> Make1(int w, int h, Bgra entry0, Bgra entry1,
                                  const std::function<uint8_t(int x, int yTop)>& fn) {
    return MakeIndexed(w, h, 1, {entry0, entry1}, fn);
}

// Writes an uncompressed bottom-up BMP of 1 or 24 bits per pixel, as a
// program's user would pick: `grey` gives each pixel's level (x, y from the
// top), a diagonal ramp when none is given; 1-bit files print levels below 128
// black.
inline void WriteBmp(const std::string& path, int32_t width, int32_t height, uint16_t bits,
                     const std::function<uint8_t(int, int)>& grey = {}) {
    const auto level = [grey](int x, int y) {
        return grey ? grey(x, y) : static_cast<uint8_t>((x * 7 + y * 3) & 0xFF);
    };
    BmpSpec s;
    s.width = width;
    s.height = height;
    s.bitsPerPixel = bits;
    if (bits == 1) {
        s.palette = {Bgra{0, 0, 0, 0}, Bgra{0xFF, 0xFF, 0xFF, 0}};
        s.coloursUsed = 2;
        s.pixel = [level](int x, int y) { return level(x, y) >= 128 ? 1u : 0u; };
    } else {
        s.pixel = [level](int x, int y) { return uint32_t{level(x, y)} * 0x010101u; };
    }
    WriteFile(path, BuildBmp(s));
}

} // namespace tessaline::test
