// SPDX-License-Identifier: MIT
#include "PictureLibraries.h"
#include "platform/pictures/PictureDecoders.h"

namespace tessaline {

PictureDecoders SystemPictureDecoders() {
    return {DecodePngPicture, DecodeJpegPicture, DecodeGifPicture};
}

void UseSystemPictureDecoders() {
    UsePictureDecoders(SystemPictureDecoders());
}

} // namespace tessaline
