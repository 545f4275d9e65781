// SPDX-License-Identifier: MIT
// What the control draws in its rectangle, on whatever surface a shell draws on.
#pragma once

#include <cstdint>

namespace tessaline {

// The whole rectangle in grey, the caption in black on grey with its corner
// 2 pixels right of and below the rectangle's; the host's font and clipping
// apply. Colours are 0x00BBGGRR, as RGB(r, g, b) builds them.
inline constexpr uint32_t kFaceBackColour = 0xC0C0C0; // RGB(192, 192, 192)
inline constexpr uint32_t kFaceTextColour = 0x000000; // RGB(0, 0, 0)
inline constexpr const char* kFaceCaption = "Tessaline Download";
inline constexpr int32_t kFaceCaptionOffset = 2;

// The caption's corner coordinate for a rectangle edge; a host's extreme
// coordinates stay at the edge of the range instead of wrapping.
constexpr int32_t FaceCaptionCorner(int32_t edge) {
    return edge > INT32_MAX - kFaceCaptionOffset ? INT32_MAX : edge + kFaceCaptionOffset;
}

} // namespace tessaline
