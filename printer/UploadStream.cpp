#include "UploadStream.h"

#include "CLogoImage.h"

#include <memory>
#include <thread>

namespace tessaline {

namespace {

constexpr std::array<uint8_t, 2> kInitialise{0x1B, 0x40};
constexpr std::chrono::milliseconds kInitialisePause{100};

// The image's header and raster, or nothing when what the conversion left
// would not make a header that matches its raster.
struct ImageBytes {
    std::array<uint8_t, 4> header;
    std::span<const uint8_t> raster;
};

std::optional<ImageBytes> ConvertedImage(const CLogoImage& image) {
    if (!image.FitsNvImage()) {
        return std::nullopt;
    }
    const std::optional<std::array<uint8_t, 4>> header =
        NvImageHeader(image.PaddedWidth(), image.PaddedHeight());
    if (!header) {
        return std::nullopt;
    }
    const int64_t expected = int64_t{image.PaddedWidth()} * image.PaddedHeight() / 8;
    const std::span<const uint8_t> raster = image.Raster();
    if (image.RasterLength() != expected || raster.size() < static_cast<uint64_t>(expected)) {
        return std::nullopt;
    }
    return ImageBytes{*header, raster.first(static_cast<size_t>(expected))};
}

} // namespace

std::vector<std::string> SplitNVImage(const std::string& NVImage) {
    std::vector<std::string> paths;
    size_t start = 0;
    for (size_t bar = NVImage.find('|'); bar != std::string::npos; bar = NVImage.find('|', start)) {
        paths.push_back(NVImage.substr(start, bar - start));
        start = bar + 1;
    }
    // A last path without its bar is still a path: dropping it would replace
    // the printer's logos with fewer than the caller listed.
    if (start < NVImage.size()) {
        paths.push_back(NVImage.substr(start));
    }
    return paths;
}

std::optional<std::array<uint8_t, 4>> NvImageHeader(int32_t paddedWidth, int32_t paddedHeight) {
    if (paddedWidth <= 0 || paddedHeight <= 0 || paddedWidth % 8 != 0 || paddedHeight % 8 != 0 ||
        paddedWidth / 8 > 0xFFFF || paddedHeight / 8 > 0xFFFF) {
        return std::nullopt;
    }
    const auto x = static_cast<uint32_t>(paddedWidth / 8);
    const auto y = static_cast<uint32_t>(paddedHeight / 8);
    return std::array<uint8_t, 4>{static_cast<uint8_t>(x & 0xFFu), static_cast<uint8_t>(x >> 8),
                                  static_cast<uint8_t>(y & 0xFFu), static_cast<uint8_t>(y >> 8)};
}

std::string UploadListRefusal(const std::vector<std::string>& paths) {
    if (paths.empty()) {
        return "the list names no logo file";
    }
    if (paths.size() > kMaxNvImages) {
        return "the list names " + std::to_string(paths.size()) +
               " logo files; the printer stores at most " + std::to_string(kMaxNvImages);
    }
    // One probe for the whole list, as the stream itself reuses one image.
    auto probe = std::make_unique<CLogoImage>();
    for (const std::string& path : paths) {
        if (path.empty()) {
            return "the list holds an empty path";
        }
        if (probe->LoadBitmapFile(path) != 1) {
            return path + ": " + probe->LoadFailure();
        }
        if (!probe->FitsNvImage()) {
            return path + ": " + probe->NvFitFailure();
        }
    }
    return {};
}

StreamResult WriteUploadStream(CPrinterChannel& channel, const std::string& NVImage,
                               int32_t ImageMode, int32_t Brightness, const ProgressFn& progress,
                               const SleepFn& sleep, std::string* refusal) {
    const auto refuse = [refusal](std::string why) {
        if (refusal != nullptr) {
            *refusal = std::move(why);
        }
        return StreamResult::Refused;
    };
    const std::vector<std::string> paths = SplitNVImage(NVImage);
    if (paths.empty()) {
        return StreamResult::Empty;
    }
    if (paths.size() > kMaxNvImages) {
        return refuse(UploadListRefusal(paths));
    }
    auto image = std::make_unique<CLogoImage>();

    if (!channel.WriteRawBytes(kInitialise)) {
        return StreamResult::WriteFailed;
    }
    if (sleep) {
        sleep(kInitialisePause);
    } else {
        std::this_thread::sleep_for(kInitialisePause);
    }
    const std::array<uint8_t, 3> define{0x1C, 0x71, static_cast<uint8_t>(paths.size())};
    if (!channel.WriteRawBytes(define)) {
        return StreamResult::WriteFailed;
    }
    int32_t k = 0;
    for (const std::string& path : paths) {
        ++k;
        const LogoFlags flags = ReadLogo(*image, path);
        if (!image->HasBitmap()) {
            // FS q promised this image; stopping here is the only way not to
            // send a header whose raster never follows.
            return refuse(path + ": " + image->LoadFailure());
        }
        image->ConvertLogo(flags.greyFlag, flags.whiteFlag, ImageMode, Brightness);
        const std::optional<ImageBytes> bytes = ConvertedImage(*image);
        if (!bytes) {
            const std::string why = image->NvFitFailure();
            return refuse(path + ": " + (why.empty() ? "did not convert" : why));
        }
        if (!channel.WriteRawBytes(bytes->header) || !channel.WriteRawBytes(bytes->raster)) {
            return StreamResult::WriteFailed;
        }
        if (progress) {
            progress(k);
        }
    }
    return StreamResult::Sent;
}

} // namespace tessaline
