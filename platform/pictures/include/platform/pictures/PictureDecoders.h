// SPDX-License-Identifier: MIT
// The system's decoders of logo pictures: libpng, libjpeg-turbo and giflib
// on Linux, the Windows Imaging Component on Windows.
#pragma once

#include "imaging/LogoFormats.h"

namespace tessaline {

// The decoders of this system, to hand imaging with UsePictureDecoders.
PictureDecoders SystemPictureDecoders();

// Hands imaging this system's decoders; safe to call from every start-up path.
void UseSystemPictureDecoders();

} // namespace tessaline
