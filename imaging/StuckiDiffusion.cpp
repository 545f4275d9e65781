// SPDX-License-Identifier: MIT
#include "StuckiDiffusion.h"

#include <array>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessaline {

namespace {

// The error a level leaves when it is decided: white above 128.
constexpr int ErrorOf(int level) {
    return level > 128 ? level - 255 : level;
}

// trunc(e * weight / 42) for the error e of every level: the two pixels to
// the right take weights 8 and 4, the five pixels of the row below 2 4 8 4 2,
// the five of the row after that 1 2 4 2 1. Indexed by the level itself, so
// that a pixel's shares are one load away from its level. For the rows
// below, the shares of one error all have its sign, so they are also kept as
// magnitudes in bytes 0 to 4 of a word, split by sign: a saturating add of
// the positive word and a saturating subtract of the negative one is the
// same as adding each share with clamping.
struct Shares {
    std::array<int16_t, 256> right1{}, right2{};
    std::array<std::array<int16_t, 5>, 256> below1{}, below2{};
    std::array<uint64_t, 256> up1{}, down1{}, up2{}, down2{};
    Shares() {
        static constexpr int kBelow1[5] = {2, 4, 8, 4, 2};
        static constexpr int kBelow2[5] = {1, 2, 4, 2, 1};
        for (std::size_t level = 0; level < 256; ++level) {
            const int e = ErrorOf(static_cast<int>(level));
            right1[level] = static_cast<int16_t>(e * 8 / 42);
            right2[level] = static_cast<int16_t>(e * 4 / 42);
            const int magnitude = e < 0 ? -e : e;
            uint64_t word1 = 0;
            uint64_t word2 = 0;
            for (std::size_t k = 0; k < 5; ++k) {
                below1[level][k] = static_cast<int16_t>(e * kBelow1[k] / 42);
                below2[level][k] = static_cast<int16_t>(e * kBelow2[k] / 42);
                word1 |= static_cast<uint64_t>(magnitude * kBelow1[k] / 42) << (8 * k);
                word2 |= static_cast<uint64_t>(magnitude * kBelow2[k] / 42) << (8 * k);
            }
            (e > 0 ? up1 : down1)[level] = word1;
            (e > 0 ? up2 : down2)[level] = word2;
        }
    }
};

const Shares& TheShares() {
    static const Shares shares;
    return shares;
}

inline int Clamped(int v) {
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

inline void AddClamped(uint8_t& cell, int delta) {
    cell = static_cast<uint8_t>(Clamped(cell + delta));
}

// Decides one pixel: white above 128.
inline void Decide(int level, uint8_t& mono) {
    mono = level > 128 ? 255 : 0;
}

// One pixel, straight in memory: the rule as it is written.
inline void DiffusePixel(uint8_t* a, std::size_t p, std::size_t w, std::size_t x, uint8_t& mono) {
    const int level = a[p];
    Decide(level, mono);
    if (ErrorOf(level) == 0) {
        return;
    }
    const Shares& shares = TheShares();
    const auto i = static_cast<std::size_t>(level);
    AddClamped(a[p + 1], shares.right1[i]);
    AddClamped(a[p + 2], shares.right2[i]);
    for (std::size_t k = 0; k < 5; ++k) {
        if (x + k >= 2) { // columns left of the picture take nothing
            AddClamped(a[p + w + k - 2], shares.below1[i][k]);
        }
    }
    for (std::size_t k = 0; k < 5; ++k) {
        if (x + k >= 2) {
            AddClamped(a[p + 2 * w + k - 2], shares.below2[i][k]);
        }
    }
}

#if defined(__SSE2__)
// Pixel T of a block of eight: its shares for the rows below go to lanes T to
// T + 4 of the two 16-byte windows that start two columns left of the block.
template <int T>
inline void BlockPixel(int& current, int& next, int& far, uint8_t* out, __m128i& r1, __m128i& r2) {
    const Shares& shares = TheShares();
    Decide(current, out[T]);
    const auto i = static_cast<std::size_t>(current);
    next = Clamped(next + shares.right1[i]);
    far = Clamped(far + shares.right2[i]);
    const auto word = [](uint64_t v) {
        return _mm_slli_si128(_mm_cvtsi64_si128(static_cast<long long>(v)), T);
    };
    r1 = _mm_subs_epu8(_mm_adds_epu8(r1, word(shares.up1[i])), word(shares.down1[i]));
    r2 = _mm_subs_epu8(_mm_adds_epu8(r2, word(shares.up2[i])), word(shares.down2[i]));
    current = next;
    next = far;
}

// Eight pixels from column x0 (x0 >= 2, x0 + 14 <= w): the pixel being
// decided and its right-hand neighbour travel in registers, and so do the
// cells under the block in the two rows below; nothing else writes them
// while the block runs, and each takes its shares in the order the pixels
// are visited.
inline void DiffuseBlock(uint8_t* a, std::size_t p, std::size_t w, uint8_t* out) {
    uint8_t* at1 = a + p + w - 2;
    uint8_t* at2 = a + p + 2 * w - 2;
    __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at1));
    __m128i r2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at2));
    int current = a[p];
    int next = a[p + 1];
    int far = 0;
    far = a[p + 2];
    BlockPixel<0>(current, next, far, out, r1, r2);
    far = a[p + 3];
    BlockPixel<1>(current, next, far, out, r1, r2);
    far = a[p + 4];
    BlockPixel<2>(current, next, far, out, r1, r2);
    far = a[p + 5];
    BlockPixel<3>(current, next, far, out, r1, r2);
    far = a[p + 6];
    BlockPixel<4>(current, next, far, out, r1, r2);
    far = a[p + 7];
    BlockPixel<5>(current, next, far, out, r1, r2);
    far = a[p + 8];
    BlockPixel<6>(current, next, far, out, r1, r2);
    far = a[p + 9];
    BlockPixel<7>(current, next, far, out, r1, r2);
    a[p + 8] = static_cast<uint8_t>(current);
    a[p + 9] = static_cast<uint8_t>(next);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at1), r1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at2), r2);
}
#endif

} // namespace

void StuckiDiffuse(const uint8_t* grey, std::size_t w, std::size_t h, uint8_t* mono) {
    // Two rows below the plane take error but are never visited.
    std::vector<uint8_t> work(w * (h + 2) + 2, 0);
    std::memcpy(work.data(), grey, w * h);
    uint8_t* a = work.data();
    for (std::size_t m = 0; m < h; ++m) {
        std::size_t x = 0;
#if defined(__SSE2__)
        // Blocks whose windows stay inside the rows below; the first two
        // columns and the row's end (which spreads into the next rows) go
        // pixel by pixel.
        for (; x < 2; ++x) {
            DiffusePixel(a, m * w + x, w, x, mono[m * w + x]);
        }
        for (; x + 14 <= w; x += 8) {
            DiffuseBlock(a, m * w + x, w, mono + m * w + x);
        }
#endif
        for (; x < w; ++x) {
            DiffusePixel(a, m * w + x, w, x, mono[m * w + x]);
        }
    }
}

} // namespace tessaline
