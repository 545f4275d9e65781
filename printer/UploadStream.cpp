// SPDX-License-Identifier: MIT
#include "UploadStream.h"

#include <thread>

namespace tessaline {

namespace {

constexpr std::array<uint8_t, 2> kInitialise{0x1B, 0x40};
constexpr std::chrono::milliseconds kInitialisePause{100};

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
    return UploadImages(paths, 0, 5, {}).Check();
}

StreamResult WriteUploadStream(CPrinterChannel& channel, UploadImages& images,
                               const ProgressFn& progress, const SleepFn& sleep,
                               std::string* refusal, bool star, std::vector<int32_t>* widths) {
    const auto refuse = [refusal](std::string why) {
        if (refusal != nullptr) {
            *refusal = std::move(why);
        }
        return StreamResult::Refused;
    };
    const size_t n = images.Count();
    if (n == 0) {
        return StreamResult::Empty;
    }
    if (n > kMaxNvImages) {
        return refuse(images.Check());
    }
    if (!channel.WriteRawBytes(kInitialise)) {
        return StreamResult::WriteFailed;
    }
    // The printer wants its pause after ESC @; the images convert meanwhile.
    images.StartConverting();
    if (sleep) {
        sleep(kInitialisePause);
    } else {
        std::this_thread::sleep_for(kInitialisePause);
    }
    const std::array<uint8_t, 3> define{0x1C, 0x71, static_cast<uint8_t>(n)};
    if ((star && !channel.WriteRawBytes(std::array<uint8_t, 1>{0x1B})) ||
        !channel.WriteRawBytes(define)) {
        return StreamResult::WriteFailed;
    }
    for (size_t k = 0; k < n; ++k) {
        std::string why;
        const std::optional<NvImageBytes> image = images.Take(k, why);
        if (!image) {
            // FS q promised this image; stopping here is the only way not to
            // send a header whose raster never follows.
            return refuse(why);
        }
        if (!channel.WriteRawBytes(image->header) || !channel.WriteRawBytes(image->raster)) {
            return StreamResult::WriteFailed;
        }
        if (widths != nullptr) {
            widths->push_back((image->header[0] | image->header[1] << 8) * 8);
        }
        if (progress) {
            progress(static_cast<int32_t>(k + 1));
        }
    }
    return StreamResult::Sent;
}

} // namespace tessaline
