// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to one system decoder of logo pictures (PNG, JPEG or
// GIF, chosen when the target is built), then through imaging's own path:
// what a decoder accepts must have the size it claims, and must come out of
// imaging as the rows the BMP path converts.
#include "imaging/CLogoImage.h"
#include "platform/pictures/PictureDecoders.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    const tessaline::PictureDecoders decoders = tessaline::SystemPictureDecoders();
    const auto picture = decoders.TESSALINE_FUZZ_FORMAT(file);
    if (!picture) {
        return 0;
    }
    const tessaline::PictureRows& rows = picture.Value();
    if (!tessaline::PictureSizeFailure(rows.width, rows.height).empty() ||
        rows.rgba.size() !=
            static_cast<std::size_t>(rows.width) * static_cast<std::size_t>(rows.height) * 4 ||
        rows.fileBitsPixel == 0) {
        __builtin_trap();
    }
    // Small pictures go on through imaging as a file of that format would.
    if (int64_t{rows.width} * rows.height > 256 * 256) {
        return 0;
    }
    tessaline::UsePictureDecoders(decoders);
    const auto decoded = tessaline::DecodeLogo(file);
    if (!decoded) {
        // The format's magic may be damaged: then imaging does not ask this decoder.
        return 0;
    }
    const tessaline::BitmapDescription& d = decoded.Value().description;
    if (d.bmBitsPixel != 24 || d.bmWidthBytes % 4 != 0 ||
        decoded.Value().fileBitsPixel != rows.fileBitsPixel ||
        decoded.Value().pixels.size() !=
            static_cast<std::size_t>(d.bmWidthBytes) * static_cast<std::size_t>(d.bmHeight)) {
        __builtin_trap();
    }
    tessaline::CLogoImage image;
    image.SetWritesThresholdBitmap(false);
    image.AdoptBitmap(decoded.Value());
    image.ConvertLogo(1, 0, 1, 5);
    // A picture taller or wider than an NV image converts to nothing, and says why.
    const int32_t expected =
        image.FitsNvImage() ? image.PaddedWidth() * image.PaddedHeight() / 8 : 0;
    if (image.RasterLength() != expected || image.FitsNvImage() != image.NvFitFailure().empty()) {
        __builtin_trap();
    }
    return 0;
}
