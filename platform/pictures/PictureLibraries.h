// SPDX-License-Identifier: MIT
// One decoder a format, each over the system library that reads it.
#pragma once

#include "imaging/LogoFormats.h"

namespace tessaline {

Result<PictureRows> DecodePngPicture(std::span<const uint8_t> file);
Result<PictureRows> DecodeJpegPicture(std::span<const uint8_t> file);
Result<PictureRows> DecodeGifPicture(std::span<const uint8_t> file);

} // namespace tessaline
