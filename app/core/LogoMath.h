// SPDX-License-Identifier: MIT
#pragma once

#include <cmath>
#include <cstdint>

namespace tessaline {

// The largest logo the NV upload command carries: 1023 bytes across
// (8184 dots) and 288 bytes down (2304 dots).
inline constexpr int32_t kMaxLogoWidth = 8184;
inline constexpr int32_t kMaxLogoHeight = 2304;

// Bytes a logo of height x width dots takes in NV memory: whole 8-dot rows
// times the width rounded up to a multiple of 8.
inline int32_t NvSize(int32_t lngHeight, int32_t lngWidth) {
    const int32_t rows = lngHeight / 8 + (lngHeight % 8 != 0 ? 1 : 0);
    const int32_t width8 = lngWidth % 8 == 0 ? lngWidth : lngWidth + (8 - lngWidth % 8);
    return rows * width8;
}

// True when the NV upload command can carry a logo of these dimensions.
inline bool LogoInRange(int32_t lngHeight, int32_t lngWidth) {
    return lngWidth >= 1 && lngWidth <= kMaxLogoWidth && lngHeight >= 1 &&
           lngHeight <= kMaxLogoHeight;
}

// Bytes shown as kilobytes: divided by 1024, a half going to the even neighbour.
inline int32_t KilobytesHalfEven(int32_t bytes) {
    // Exact in double; the default rounding mode takes halves to even.
    return static_cast<int32_t>(std::nearbyint(static_cast<double>(bytes) / 1024.0));
}

// The slider's position scaled to the brightness 0 to 10, halves to even.
inline int32_t SliderBrightness(int32_t value, int32_t maximum) {
    if (maximum == 0) {
        return 0;
    }
    const double scaled = static_cast<double>(value) / static_cast<double>(maximum) * 10.0;
    return static_cast<int32_t>(std::nearbyint(scaled)); // the default rounding is to even
}

} // namespace tessaline
