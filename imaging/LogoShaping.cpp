// SPDX-License-Identifier: MIT
// Fitting logos to the paper, the further dithers, and the BMP files that
// carry their results.

#include "imaging/LogoShaping.h"

#include "GreyLevel.h"
#include "imaging/CLogoImage.h"
#include "imaging/LogoFormats.h"

#include <algorithm>
#include <array>
#include <bit>

namespace tessaline {

namespace {

uint32_t Le(const uint8_t* p, std::size_t bytes) {
    uint32_t v = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
        v |= uint32_t{p[i]} << (8 * i);
    }
    return v;
}

uint8_t Field(uint32_t value, uint32_t mask) {
    if (mask == 0) {
        return 0;
    }
    const auto shift = static_cast<unsigned>(std::countr_zero(mask));
    const uint64_t max = mask >> shift;
    return static_cast<uint8_t>((((value & mask) >> shift) * 255 + max / 2) / max);
}

uint8_t OverPaper(unsigned c, unsigned a) {
    return static_cast<uint8_t>((c * a + 255 * (255 - a) + 127) / 255);
}

// Blue, green and red of every pixel, rows top-down, whatever the file's depth:
// palettes looked up, masks applied, alpha and unset pixels laid over paper.
std::vector<uint8_t> ColourRows(const DecodedBitmap& logo) {
    const BitmapDescription& d = logo.description;
    const auto w = static_cast<std::size_t>(d.bmWidth);
    const auto h = static_cast<std::size_t>(d.bmHeight);
    const auto stride = static_cast<std::size_t>(d.bmWidthBytes);
    const unsigned depth = d.bmBitsPixel;
    std::vector<uint8_t> out(w * h * 3, 255);
    ColourMasks masks = logo.masks;
    if (!logo.hasMasks) {
        masks = depth == 16 ? ColourMasks{0x7C00, 0x03E0, 0x001F, 0}
                            : ColourMasks{0xFF0000, 0x00FF00, 0x0000FF, 0};
    }
    for (std::size_t y = 0; y < h; ++y) {
        const std::size_t m = h - 1 - y;
        const uint8_t* row = logo.pixels.data() + m * stride;
        uint8_t* o = out.data() + y * w * 3;
        for (std::size_t x = 0; x < w; ++x, o += 3) {
            if (logo.IsSkipped(x, m)) {
                continue;
            }
            if (depth <= 8) {
                const std::size_t bit = x * depth;
                const unsigned index =
                    (row[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
                if (index < logo.palette.size()) {
                    const PaletteEntry& e = logo.palette[index];
                    o[0] = e.blue, o[1] = e.green, o[2] = e.red;
                } else {
                    o[0] = o[1] = o[2] = 0;
                }
            } else if (depth == 24 || (depth == 32 && !logo.hasMasks)) {
                const uint8_t* p = row + x * depth / 8;
                o[0] = p[0], o[1] = p[1], o[2] = p[2];
            } else {
                const uint32_t v = Le(row + x * depth / 8, depth / 8);
                const unsigned a = masks.alpha != 0 ? Field(v, masks.alpha) : 255;
                o[0] = OverPaper(Field(v, masks.blue), a);
                o[1] = OverPaper(Field(v, masks.green), a);
                o[2] = OverPaper(Field(v, masks.red), a);
            }
        }
    }
    return out;
}

// Area averaging along one direction: `count` lines of `from` samples (each
// `channels` wide, `step` apart) become `to` samples. Source sample i covers
// [i * to, (i + 1) * to) and target j covers [j * from, (j + 1) * from).
void Shrink(const double* in, double* out, std::size_t from, std::size_t to, std::size_t channels,
            std::size_t count, std::size_t inLine, std::size_t inStep, std::size_t outLine,
            std::size_t outStep) {
    for (std::size_t line = 0; line < count; ++line) {
        for (std::size_t j = 0; j < to; ++j) {
            const std::size_t start = j * from;
            const std::size_t end = start + from;
            std::array<double, 3> sum{};
            for (std::size_t i = start / to; i * to < end; ++i) {
                const std::size_t overlap = std::min(end, (i + 1) * to) - std::max(start, i * to);
                for (std::size_t c = 0; c < channels; ++c) {
                    sum[c] += in[line * inLine + i * inStep + c] * static_cast<double>(overlap);
                }
            }
            for (std::size_t c = 0; c < channels; ++c) {
                out[line * outLine + j * outStep + c] = sum[c] / static_cast<double>(from);
            }
        }
    }
}

void PutLe32(std::vector<uint8_t>& out, std::size_t at, uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) {
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

std::vector<uint8_t> BmpHeader(std::size_t w, std::size_t h, uint16_t depth, std::size_t palette,
                               std::size_t imageSize) {
    const std::size_t offset = 54 + 4 * palette;
    std::vector<uint8_t> file(offset + imageSize, 0);
    file[0] = 'B';
    file[1] = 'M';
    PutLe32(file, 2, static_cast<uint32_t>(file.size()));
    PutLe32(file, 10, static_cast<uint32_t>(offset));
    PutLe32(file, 14, 40);
    PutLe32(file, 18, static_cast<uint32_t>(w));
    PutLe32(file, 22, static_cast<uint32_t>(h));
    file[26] = 1;
    file[28] = static_cast<uint8_t>(depth);
    PutLe32(file, 34, static_cast<uint32_t>(imageSize));
    PutLe32(file, 46, static_cast<uint32_t>(palette));
    return file;
}

} // namespace

DecodedBitmap FitToWidth(const DecodedBitmap& logo, int32_t dots) {
    const BitmapDescription& d = logo.description;
    if (dots < 1 || d.bmWidth <= dots) {
        return logo;
    }
    const auto w = static_cast<std::size_t>(d.bmWidth);
    const auto h = static_cast<std::size_t>(d.bmHeight);
    const auto tw = static_cast<std::size_t>(dots);
    const std::size_t th = std::max<std::size_t>(1, (h * tw + w / 2) / w);
    const std::vector<uint8_t> colours = ColourRows(logo);
    const std::vector<double> source(colours.begin(), colours.end());
    std::vector<double> across(tw * h * 3);
    Shrink(source.data(), across.data(), w, tw, 3, h, w * 3, 3, tw * 3, 3);
    std::vector<double> fitted(tw * th * 3);
    // Down the columns: each channel of each column is a line of its own.
    Shrink(across.data(), fitted.data(), h, th, 1, tw * 3, 1, tw * 3, 1, tw * 3);

    DecodedBitmap out;
    out.description = d;
    out.description.bmWidth = dots;
    out.description.bmHeight = static_cast<int32_t>(th);
    out.description.bmBitsPixel = 24;
    const std::size_t stride = (tw * 3 + 3) / 4 * 4;
    out.description.bmWidthBytes = static_cast<int32_t>(stride);
    out.fileBitsPixel = logo.fileBitsPixel != 0 ? logo.fileBitsPixel : d.bmBitsPixel;
    out.pixels.assign(stride * th, 0);
    for (std::size_t y = 0; y < th; ++y) {
        uint8_t* row = out.pixels.data() + (th - 1 - y) * stride;
        for (std::size_t i = 0; i < tw * 3; ++i) {
            row[i] = static_cast<uint8_t>(std::clamp(fitted[y * tw * 3 + i] + 0.5, 0.0, 255.0));
        }
    }
    return out;
}

std::optional<DitherKind> DitherKindNamed(const std::string& name) {
    if (name == "threshold") {
        return DitherKind::Threshold;
    }
    if (name == "floyd-steinberg") {
        return DitherKind::FloydSteinberg;
    }
    if (name == "atkinson") {
        return DitherKind::Atkinson;
    }
    if (name == "bayer") {
        return DitherKind::Bayer;
    }
    return std::nullopt;
}

std::vector<uint8_t> GreyRows(const DecodedBitmap& logo, int32_t brightness) {
    const GreyLevels levels(logo, BrightnessOffset(brightness));
    const auto w = static_cast<std::size_t>(logo.description.bmWidth);
    const auto h = static_cast<std::size_t>(logo.description.bmHeight);
    const auto stride = static_cast<std::size_t>(logo.description.bmWidthBytes);
    std::vector<uint8_t> grey(w * h);
    for (std::size_t y = 0; y < h; ++y) {
        const std::size_t m = h - 1 - y;
        uint8_t* out = grey.data() + y * w;
        levels.Row(logo.pixels.data() + m * stride, w, out);
        for (std::size_t x = 0; x < w; ++x) {
            if (logo.IsSkipped(x, m)) {
                out[x] = levels.Paper();
            }
        }
    }
    return grey;
}

std::vector<uint8_t> Dither(std::span<const uint8_t> grey, std::size_t w, std::size_t h,
                            DitherKind kind, int threshold) {
    std::vector<uint8_t> mono(w * h, 255);
    if (kind == DitherKind::Threshold) {
        for (std::size_t i = 0; i < w * h; ++i) {
            mono[i] = grey[i] < threshold ? 0 : 255;
        }
        return mono;
    }
    if (kind == DitherKind::Bayer) {
        static constexpr uint8_t kMatrix[8][8] = {
            {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
            {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
            {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
            {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
        for (std::size_t y = 0; y < h; ++y) {
            for (std::size_t x = 0; x < w; ++x) {
                mono[y * w + x] = grey[y * w + x] < 4 * kMatrix[y % 8][x % 8] + 2 ? 0 : 255;
            }
        }
        return mono;
    }
    // Error diffusion over three rows of error, the current one and two below.
    struct Spread {
        int dx, dy, weight;
    };
    static constexpr Spread kFloyd[] = {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}};
    static constexpr Spread kAtkinson[] = {{1, 0, 1}, {2, 0, 1}, {-1, 1, 1},
                                           {0, 1, 1}, {1, 1, 1}, {0, 2, 1}};
    std::span<const Spread> spread = kFloyd;
    int divisor = 16;
    if (kind == DitherKind::Atkinson) {
        spread = kAtkinson;
        divisor = 8;
    }
    const std::size_t span = w + 4;
    std::vector<int> error(3 * span, 0);
    for (std::size_t y = 0; y < h; ++y) {
        int* rows[3] = {error.data() + (y % 3) * span, error.data() + ((y + 1) % 3) * span,
                        error.data() + ((y + 2) % 3) * span};
        for (std::size_t x = 0; x < w; ++x) {
            const int v = grey[y * w + x] + rows[0][x + 2];
            const int e = v < 128 ? v : v - 255;
            mono[y * w + x] = v < 128 ? 0 : 255;
            for (const Spread& s : spread) {
                rows[s.dy][static_cast<std::size_t>(static_cast<int>(x) + 2 + s.dx)] +=
                    e * s.weight / divisor;
            }
        }
        std::fill(rows[0], rows[0] + span, 0);
    }
    return mono;
}

std::vector<uint8_t> EncodeDotsBmp(std::span<const uint8_t> mono, std::size_t w, std::size_t h) {
    const std::size_t rowBytes = (w + 31) / 32 * 4;
    std::vector<uint8_t> file = BmpHeader(w, h, 1, 2, rowBytes * h);
    PutLe32(file, 54, 0xFFFFFFFFu); // entry 0 white, entry 1 black
    for (std::size_t y = 0; y < h; ++y) {
        uint8_t* row = file.data() + 62 + (h - 1 - y) * rowBytes;
        for (std::size_t x = 0; x < w; ++x) {
            if (mono[y * w + x] == 0) {
                row[x / 8] = static_cast<uint8_t>(row[x / 8] | (0x80u >> (x % 8)));
            }
        }
    }
    return file;
}

std::vector<uint8_t> EncodeBmp24(const DecodedBitmap& logo) {
    const auto h = static_cast<std::size_t>(logo.description.bmHeight);
    const auto stride = static_cast<std::size_t>(logo.description.bmWidthBytes);
    std::vector<uint8_t> file =
        BmpHeader(static_cast<std::size_t>(logo.description.bmWidth), h, 24, 0, stride * h);
    std::copy(logo.pixels.begin(), logo.pixels.end(), file.begin() + 54);
    return file;
}

std::optional<std::vector<uint8_t>> ScaledDotsBmp(std::span<const uint8_t> oneBitBmp, int scale) {
    const auto decoded = DecodeBmp(oneBitBmp);
    if (!decoded || decoded.Value().description.bmBitsPixel != 1 || scale < 1) {
        return std::nullopt;
    }
    const DecodedBitmap& logo = decoded.Value();
    const auto w = static_cast<std::size_t>(logo.description.bmWidth);
    const auto h = static_cast<std::size_t>(logo.description.bmHeight);
    const auto n = static_cast<std::size_t>(scale);
    if (PictureSizeFailure(static_cast<int64_t>(w * n), static_cast<int64_t>(h * n)) != "") {
        return std::nullopt;
    }
    const std::vector<uint8_t> colours = ColourRows(logo);
    std::vector<uint8_t> mono(w * n * h * n);
    for (std::size_t y = 0; y < h * n; ++y) {
        for (std::size_t x = 0; x < w * n; ++x) {
            const uint8_t* c = colours.data() + ((y / n) * w + x / n) * 3;
            mono[y * w * n + x] = (c[0] + c[1] + c[2]) / 3 < 128 ? 0 : 255;
        }
    }
    return EncodeDotsBmp(mono, w * n, h * n);
}

} // namespace tessaline
