// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessaline {

// Stucki error diffusion of a grey plane of w x h (stored row 0 at the
// bottom, rows visited bottom-up, columns left to right) into `mono`
// (255 white where the level is above 128, else 0). Rows are packed without
// a gap: an error spread past a row's end lands at the next row's start, and
// the two rows below the plane take error but are never visited.
void StuckiDiffuse(const uint8_t* grey, std::size_t w, std::size_t h, uint8_t* mono);

} // namespace tessaline
