// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes, through a file, to the whole read, convert, pack and
// preview sequence of an upload and a preview, in both image modes. The
// preview pictures stay in memory, where each must read back as the one-bit
// bitmap of the logo's size.
#include "FuzzScratch.h"
#include "imaging/CLogoImage.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>

namespace {

std::string g_path;

// The picture's bytes decode as a one-bit bitmap of the logo's size.
tessaline::PictureWriter CheckedPictures(const tessaline::BitmapDescription& logo) {
    return [logo](const std::string&, std::span<const uint8_t> bytes) {
        const auto picture = tessaline::DecodeBmp(bytes);
        if (!picture || picture.Value().description.bmBitsPixel != 1 ||
            picture.Value().description.bmWidth != logo.bmWidth ||
            picture.Value().description.bmHeight != logo.bmHeight) {
            __builtin_trap();
        }
        return tessaline::Result<void>();
    };
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The previews are named after the current folder.
    std::filesystem::current_path(tessaline::fuzz::ScratchFolder());
    g_path = (tessaline::fuzz::ScratchFolder() / "input.bmp").string();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    if (const auto decoded = tessaline::DecodeBmp(file)) {
        const tessaline::BitmapDescription& d = decoded.Value().description;
        // Very large pictures convert fine but would only slow the search down.
        if (static_cast<int64_t>(d.bmWidth) * d.bmHeight > 65536) {
            return 0;
        }
    }
    std::FILE* f = std::fopen(g_path.c_str(), "wb");
    if (f == nullptr) {
        return 0;
    }
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    const int32_t brightness = size == 0 ? 5 : data[size - 1] % 11;
    for (int32_t mode : {0, 1}) {
        tessaline::CLogoImage image;
        const auto flags = tessaline::ReadLogo(image, g_path);
        // An upload takes the flags from the bytes it read: they must be the probes'.
        const auto inMemory = tessaline::LogoFlagsOf(file);
        if (inMemory.greyFlag != flags.greyFlag || inMemory.whiteFlag != flags.whiteFlag) {
            __builtin_trap();
        }
        image.SetPictureWriter(CheckedPictures(image.Description()));
        image.ConvertLogo(flags.greyFlag, flags.whiteFlag, mode, brightness);
        if (image.RasterLength() != 0 &&
            image.RasterLength() != image.PaddedWidth() * image.PaddedHeight() / 8) {
            __builtin_trap();
        }
        // The writer never fails, so neither may the preview (255: nothing to show).
        if (image.WritePreviewBitmap() == 0) {
            __builtin_trap();
        }
    }
    return 0;
}
