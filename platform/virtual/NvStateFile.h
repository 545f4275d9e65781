// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"
#include "escpos/EscPosEmulator.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tessaline {

// The NV memory as kept between jobs: a mark, the day and count of NV writes,
// then the stored definitions exactly as FS q carried them (xL xH yL yH raster),
// then, when any are stored, the NV graphics (a mark, then key, width, height
// and rows of each, in key order).
std::vector<uint8_t> EncodeNvMemory(const NvMemory& memory);

// Reads what EncodeNvMemory wrote; refuses anything else with a reason and
// leaves `memory` untouched then.
Result<void> DecodeNvMemory(std::span<const uint8_t> bytes, NvMemory& memory);

// Reads only the day and count of NV writes from the head of a file whose
// images DecodeNvMemory refused. False, and `memory` untouched, when even the
// head is not one EncodeNvMemory wrote.
bool DecodeNvWrites(std::span<const uint8_t> bytes, NvMemory& memory);

} // namespace tessaline
