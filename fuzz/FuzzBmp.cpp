// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the BMP decoder, in memory: what it accepts must be
// delivered exactly as its description promises, and the read sequence's
// header probes must agree with what it decoded. The check an upload makes
// first, and the decode that lays the rows out in the file's own memory, must
// accept and refuse exactly what it does, and deliver the same.
#include "imaging/CLogoImage.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    const auto decoded = tessaline::DecodeBmp(file);
    const auto checked = tessaline::CheckBmp(file);
    const auto inPlace = tessaline::DecodeBmp(std::vector<uint8_t>(file.begin(), file.end()));
    if (checked.Ok() != decoded.Ok() || inPlace.Ok() != decoded.Ok()) {
        __builtin_trap();
    }
    if (!decoded) {
        if (checked.Reason() != decoded.Reason() || inPlace.Reason() != decoded.Reason()) {
            __builtin_trap();
        }
        return 0;
    }
    if (inPlace.Value().pixels != decoded.Value().pixels ||
        inPlace.Value().skipped != decoded.Value().skipped ||
        checked.Value().description.bmWidthBytes != decoded.Value().description.bmWidthBytes ||
        checked.Value().palette.size() != decoded.Value().palette.size() ||
        // Only an RLE file, which marks its unset pixels, is expanded by the check.
        checked.Value().rowsLeft != decoded.Value().skipped.empty()) {
        __builtin_trap();
    }
    const tessaline::DecodedBitmap& bitmap = decoded.Value();
    const tessaline::BitmapDescription& d = bitmap.description;
    if (d.bmWidth <= 0 || d.bmHeight <= 0 || d.bmWidthBytes % 4 != 0 ||
        static_cast<int64_t>(d.bmWidthBytes) * 8 < int64_t{d.bmWidth} * d.bmBitsPixel ||
        bitmap.pixels.size() !=
            static_cast<std::size_t>(d.bmWidthBytes) * static_cast<std::size_t>(d.bmHeight)) {
        __builtin_trap();
    }
    // RLE files mark the pixels their stream left unset, one bit each.
    if (!bitmap.skipped.empty() &&
        bitmap.skipped.size() !=
            (static_cast<std::size_t>(d.bmWidth) + 7) / 8 * static_cast<std::size_t>(d.bmHeight)) {
        __builtin_trap();
    }
    // An upload takes the grey flag from the header probe, not from the decoder.
    if (tessaline::LogoFlagsOf(file).greyFlag != (d.bmBitsPixel > 1 ? 1 : 0)) {
        __builtin_trap();
    }
    return 0;
}
