// Feeds arbitrary bytes to the BMP decoder and, through a file, to the whole
// read, convert and pack sequence of an upload, in both image modes.
#include "imaging/CLogoImage.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

std::string g_path;

} // namespace

// Runs before the corpus is read: give the corpus and artifact folders as
// absolute paths, since the fuzzer works from a scratch folder of its own.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The diffusion leaves its threshold file in the current directory.
    const auto dir =
        std::filesystem::temp_directory_path() / ("tessaline-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    g_path = (dir / "input.bmp").string();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto decoded = tessaline::DecodeBmp(std::span<const uint8_t>(data, size));
    if (decoded) {
        const auto& d = decoded.Value().description;
        // The delivered rows must be exactly what the description promises.
        if (d.bmWidth <= 0 || d.bmHeight <= 0 || d.bmWidthBytes % 4 != 0 ||
            decoded.Value().pixels.size() !=
                static_cast<std::size_t>(d.bmWidthBytes) * static_cast<std::size_t>(d.bmHeight)) {
            __builtin_trap();
        }
        // Very large pictures decode fine but would only slow the search down.
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
    for (int32_t mode : {0, 1}) {
        tessaline::CLogoImage image;
        const auto flags = tessaline::ReadLogo(image, g_path);
        // An upload takes the flags from the bytes it read: they must be the probes'.
        const auto inMemory = tessaline::LogoFlagsOf(std::span<const uint8_t>(data, size));
        if (inMemory.greyFlag != flags.greyFlag || inMemory.whiteFlag != flags.whiteFlag) {
            __builtin_trap();
        }
        image.ConvertLogo(flags.greyFlag, flags.whiteFlag, mode, size % 11 == 0 ? 10 : 5);
        if (image.RasterLength() != 0 &&
            image.RasterLength() != image.PaddedWidth() * image.PaddedHeight() / 8) {
            __builtin_trap();
        }
        image.WritePreviewBitmap();
    }
    return 0;
}
