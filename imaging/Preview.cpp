#include "CLogoImage.h"

#include <cstdio>
#include <filesystem>
#include <random>

namespace tessaline {

namespace {

void PutLe32(std::vector<uint8_t>& out, std::size_t at, uint32_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
    out[at + 2] = static_cast<uint8_t>(v >> 16);
    out[at + 3] = static_cast<uint8_t>(v >> 24);
}

// The current directory as the system reports it now; empty when it cannot.
std::string CurrentDirectory() {
    std::error_code ec;
    const auto dir = std::filesystem::current_path(ec);
    return ec ? std::string() : dir.string();
}

// Writes `bytes` to a fresh file beside `target` and renames it over the
// target, so a link planted at that name is replaced rather than followed and
// a reader never sees half a file.
bool ReplaceFile(const std::string& target, const std::vector<uint8_t>& bytes) {
    std::random_device entropy;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::string temp = target + ".tmp" + std::to_string(entropy());
        std::FILE* f = std::fopen(temp.c_str(), "wbx");
        if (f == nullptr) {
            if (std::filesystem::exists(std::filesystem::symlink_status(temp))) {
                continue; // name taken: try another
            }
            return false;
        }
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        const bool closed = std::fclose(f) == 0;
        std::error_code ec;
        if (written && closed) {
            std::filesystem::rename(temp, target, ec);
            if (!ec) {
                return true;
            }
        }
        std::filesystem::remove(temp, ec);
        return false;
    }
    return false;
}

} // namespace

int CLogoImage::WritePreviewBitmap() {
    return WritePlaneBitmap("/Temp.bmp", PlaneSource::Mono);
}

int CLogoImage::WriteThresholdBitmap() {
    return WritePlaneBitmap("/TempTe.bmp", PlaneSource::GreyBelow128);
}

int CLogoImage::WritePlaneBitmap(const char* literal, PlaneSource source) const {
    const auto width = static_cast<std::size_t>(m_description.bmWidth);
    const auto height = static_cast<std::size_t>(m_description.bmHeight);
    const auto planeStride = static_cast<std::size_t>(m_paddedWidth);
    const auto& plane = source == PlaneSource::Mono ? m_mono : m_grey;
    // Nothing to show: no bitmap, or one too large to have been converted.
    if (!HasBitmap() || !m_planesReady) {
        return 255;
    }

    const std::size_t rowBytes = (width + 31) / 32 * 4;
    const std::size_t imageSize = rowBytes * height;
    std::vector<uint8_t> file(62 + imageSize, 0);
    file[0] = 'B';
    file[1] = 'M';
    PutLe32(file, 2, static_cast<uint32_t>(62 + imageSize));
    PutLe32(file, 10, 62);
    PutLe32(file, 14, 40);
    PutLe32(file, 18, static_cast<uint32_t>(width));
    PutLe32(file, 22, static_cast<uint32_t>(height));
    file[26] = 1; // planes
    file[28] = 1; // bits per pixel
    PutLe32(file, 34, static_cast<uint32_t>(imageSize));
    PutLe32(file, 46, 2);
    PutLe32(file, 54, 0xFFFFFFFFu); // entry 0 white, entry 1 black

    // A pixel is black in the mono plane at 0, in the grey plane below 128.
    const uint8_t limit = source == PlaneSource::Mono ? 1 : 128;
    for (std::size_t m = 0; m < height; ++m) {
        const uint8_t* cells = plane.data() + m * planeStride;
        uint8_t* row = file.data() + 62 + m * rowBytes;
        // Eight pixels a byte; the plane's padded width is a whole number of
        // bytes, and bits past the width stay 0.
        for (std::size_t x = 0; x < width; x += 8) {
            unsigned byte = 0;
            for (std::size_t b = 0; b < 8; ++b) {
                byte |= static_cast<unsigned>(x + b < width && cells[x + b] < limit) << (7 - b);
            }
            row[x / 8] = static_cast<uint8_t>(byte);
        }
    }
    return ReplaceFile(CurrentDirectory() + literal, file) ? 1 : 0;
}

std::string Preview(const std::string& previewName, int16_t imageMode, int16_t brightness) {
    CLogoImage image;
    const LogoFlags flags = ReadLogo(image, previewName);
    if (flags.greyFlag != 1) {
        return previewName;
    }
    image.ConvertLogo(flags.greyFlag, flags.whiteFlag, imageMode, brightness);
    image.WritePreviewBitmap();
    return CurrentDirectory() + "/Temp.bmp";
}

} // namespace tessaline
