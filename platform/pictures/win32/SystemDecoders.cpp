// Windows: no picture decoders are handed to imaging yet, so PNG, JPEG and
// GIF logos are refused there with the reason that their format cannot be
// read, and BMP files are read as everywhere.
#include "platform/pictures/PictureDecoders.h"

namespace tessaline {

PictureDecoders SystemPictureDecoders() {
    return {};
}

void UseSystemPictureDecoders() {
    UsePictureDecoders(SystemPictureDecoders());
}

} // namespace tessaline
