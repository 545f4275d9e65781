#include "StuckiDiffusion.h"

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
