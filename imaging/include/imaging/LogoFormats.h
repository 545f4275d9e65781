// SPDX-License-Identifier: MIT
// Logo files in the formats people have them: BMP, PNG, JPEG and GIF.
#pragma once

#include "base/Result.h"
#include "imaging/BmpReader.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tessaline {

// The kinds of file a logo may come in, told by their first bytes, never by their names.
enum class LogoFormat { Unknown, Bmp, Png, Jpeg, Gif };

// The format that a file's first bytes (8 suffice) announce.
LogoFormat LogoFormatOf(std::span<const uint8_t> head);

// A picture as a format's decoder hands it over: 8-bit red, green, blue and
// alpha, rows top-down, 4 * width bytes each, samples as stored (no gamma or
// colour profile applied, 16-bit samples reduced to their high byte).
struct PictureRows {
    int32_t width = 0;
    int32_t height = 0;
    uint16_t fileBitsPixel = 0; // bits per pixel as the file stores them
    std::vector<uint8_t> rgba;
};

// The largest picture a decoder delivers: as wide or high as a BMP file may
// be, and no more pixels than the largest logo the printer takes, four times over.
inline constexpr int32_t kMaxPictureSide = 32767;
inline constexpr int64_t kMaxPicturePixels = int64_t{8184} * 2304 * 4;

// Why a picture of this size is refused; empty when it is not.
std::string PictureSizeFailure(int64_t width, int64_t height);

// Decodes one format's whole file held in memory into rows; refuses with a
// reason, never reads outside `file`.
using PictureDecoder = Result<PictureRows> (*)(std::span<const uint8_t> file);

// The decoders of the formats imaging does not read itself, from the system's
// libraries; a format without one is refused with a reason.
struct PictureDecoders {
    PictureDecoder png = nullptr;
    PictureDecoder jpeg = nullptr;
    PictureDecoder gif = nullptr;
};

// Takes effect for every later decode of imaging; its host sets it once, at start.
void UsePictureDecoders(const PictureDecoders& decoders);

// Decodes a logo file of any format held in memory into the rows the BMP
// reader delivers: BMP files as they are, other pictures laid over white
// paper as bottom-up 24-bit rows, with fileBitsPixel telling the file's depth.
Result<DecodedBitmap> DecodeLogo(std::span<const uint8_t> file);
// The same, taking the file's bytes, which a BMP file's rows may reuse (DecodeBmp).
Result<DecodedBitmap> DecodeLogo(std::vector<uint8_t>&& file);

// Lays a picture over white paper, c' = (c * a + 255 * (255 - a) + 127) / 255
// per channel, as bottom-up 24-bit rows with the BMP stride.
DecodedBitmap OnWhitePaper(const PictureRows& picture);

// The orientation (1 to 8) a JPEG file's EXIF data gives its picture; 1 when it gives none.
int ExifOrientationOf(std::span<const uint8_t> jpeg);

// Turns a picture upright by an EXIF orientation (2 to 8; others leave it as it is).
PictureRows Oriented(PictureRows picture, int orientation);

} // namespace tessaline
