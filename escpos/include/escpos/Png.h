// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"
#include "escpos/MonoPicture.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tessaline {

// The picture as a one-bit greyscale PNG file, black dots on white.
// Empty when libpng refuses (a picture without dots in either direction).
std::vector<uint8_t> EncodePng(const MonoPicture& picture);

// Reads a PNG back as dots: any pixel darker than mid grey is black.
// Fails with libpng's words when the bytes are not a PNG it can read.
Result<MonoPicture> DecodePng(std::span<const uint8_t> bytes);

} // namespace tessaline
