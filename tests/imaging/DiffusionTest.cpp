// SPDX-License-Identifier: MIT
#include "StuckiDiffusion.h"
#include "imaging/LogoShaping.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

// The diffusion exactly as the rule reads, one clamped add at a time.
std::vector<uint8_t> Reference(const std::vector<uint8_t>& grey, std::size_t w, std::size_t h) {
    std::vector<uint8_t> a(w * (h + 2) + 2, 0);
    std::copy(grey.begin(), grey.end(), a.begin());
    std::vector<uint8_t> mono(w * h, 0);
    const auto add = [&](std::size_t at, int e, int weight) {
        const int v = a[at] + e * weight / 42;
        a[at] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
    };
    for (std::size_t p = 0; p < w * h; ++p) {
        const std::size_t x = p % w;
        int e = a[p];
        if (e > 128) {
            mono[p] = 255;
            e -= 255;
        }
        add(p + 1, e, 8);
        add(p + 2, e, 4);
        const int below1[5] = {2, 4, 8, 4, 2};
        const int below2[5] = {1, 2, 4, 2, 1};
        for (std::size_t k = 0; k < 5; ++k) {
            if (x + k >= 2) {
                add(p + w + k - 2, e, below1[k]);
                add(p + 2 * w + k - 2, e, below2[k]);
            }
        }
    }
    return mono;
}

} // namespace

// The fast diffusion (registers, blocks of eight, the row's edges apart)
// must decide every pixel as the plain rule does, at every width.
TEST(StuckiDiffuse, MatchesThePlainRule) {
    std::mt19937 random(7);
    for (std::size_t w = 8; w <= 64; w += 8) {
        for (std::size_t h : {8u, 24u}) {
            for (int kind = 0; kind < 3; ++kind) {
                std::vector<uint8_t> grey(w * h);
                for (std::size_t i = 0; i < grey.size(); ++i) {
                    const auto r = static_cast<uint8_t>(random());
                    grey[i] = kind == 0 ? r
                                        : (kind == 1 ? static_cast<uint8_t>(118 + r % 21)
                                                     : static_cast<uint8_t>(r & 1 ? 255 : 0));
                }
                std::vector<uint8_t> mono(w * h, 77);
                tessaline::StuckiDiffuse(grey.data(), w, h, mono.data());
                ASSERT_EQ(mono, Reference(grey, w, h)) << w << "x" << h << " kind " << kind;
            }
        }
    }
}

namespace {

// The further dithers exactly as their textbooks draw them: a whole plane of
// error, each share truncated toward zero, rows top-down, left to right.
std::vector<uint8_t> PlainDither(const std::vector<uint8_t>& grey, std::size_t w, std::size_t h,
                                 tessaline::DitherKind kind, int threshold) {
    using tessaline::DitherKind;
    std::vector<std::vector<int>> v(h + 2, std::vector<int>(w + 4, 0));
    for (std::size_t y = 0; y < h; ++y) {
        for (std::size_t x = 0; x < w; ++x) {
            v[y][x + 2] = grey[y * w + x];
        }
    }
    const int bayer[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                             {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
                             {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
                             {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
    std::vector<uint8_t> mono(w * h);
    for (std::size_t y = 0; y < h; ++y) {
        for (std::size_t x = 0; x < w; ++x) {
            const int g = v[y][x + 2];
            bool dot = false;
            if (kind == DitherKind::Threshold) {
                dot = g < threshold;
            } else if (kind == DitherKind::Bayer) {
                // The matrix's level n covers the grey levels from 4n + 2 on.
                dot = g < 4 * bayer[y % 8][x % 8] + 2;
            } else {
                dot = g < 128;
                const int e = dot ? g : g - 255;
                if (kind == DitherKind::FloydSteinberg) {
                    v[y][x + 3] += e * 7 / 16;
                    v[y + 1][x + 1] += e * 3 / 16;
                    v[y + 1][x + 2] += e * 5 / 16;
                    v[y + 1][x + 3] += e * 1 / 16;
                } else {
                    const std::pair<int, int> atkinson[] = {{1, 0}, {2, 0}, {-1, 1},
                                                            {0, 1}, {1, 1}, {0, 2}};
                    for (const auto& [dx, dy] : atkinson) {
                        v[y + static_cast<std::size_t>(dy)]
                         [static_cast<std::size_t>(static_cast<int>(x) + 2 + dx)] += e / 8;
                    }
                }
            }
            mono[y * w + x] = dot ? 0 : 255;
        }
    }
    return mono;
}

} // namespace

TEST(Dither, EachKindMatchesItsPlainRule) {
    using tessaline::DitherKind;
    std::mt19937 random(11);
    const struct {
        DitherKind kind;
        int threshold;
    } kinds[] = {{DitherKind::Threshold, 128},
                 {DitherKind::Threshold, 40},
                 {DitherKind::FloydSteinberg, 0},
                 {DitherKind::Atkinson, 0},
                 {DitherKind::Bayer, 0}};
    for (const auto& k : kinds) {
        for (std::size_t w : {1u, 7u, 33u}) {
            for (std::size_t h : {1u, 5u, 19u}) {
                for (int fill = 0; fill < 3; ++fill) {
                    std::vector<uint8_t> grey(w * h);
                    for (auto& g : grey) {
                        const auto r = static_cast<uint8_t>(random());
                        g = fill == 0 ? r : (fill == 1 ? static_cast<uint8_t>(96 + r % 64) : 128);
                    }
                    ASSERT_EQ(tessaline::Dither(grey, w, h, k.kind, k.threshold),
                              PlainDither(grey, w, h, k.kind, k.threshold))
                        << static_cast<int>(k.kind) << " " << w << "x" << h << " fill " << fill;
                }
            }
        }
    }
}
