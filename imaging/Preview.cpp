// SPDX-License-Identifier: MIT
// CLogoImage's preview bitmaps, and the Preview sequence that writes them.

#include "imaging/CLogoImage.h"
#include "imaging/PathEncoding.h"

#include <filesystem>

namespace tessaline {

namespace {

void PutLe32(std::vector<uint8_t>& out, std::size_t at, uint32_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
    out[at + 2] = static_cast<uint8_t>(v >> 16);
    out[at + 3] = static_cast<uint8_t>(v >> 24);
}

// A preview file in `folder`, joined by the system's own separator: the
// current folder followed by "\Temp.bmp" on Windows, by "/Temp.bmp" elsewhere.
std::string InFolder(const std::string& folder, const char* name) {
    return folder + static_cast<char>(std::filesystem::path::preferred_separator) + name;
}

// The current directory as the system reports it now, by a name that names
// it exactly: a look-alike name would put the pictures into another folder.
Result<std::string> CurrentDirectory() {
    std::error_code ec;
    const auto dir = std::filesystem::current_path(ec);
    if (ec) {
        return Result<std::string>::Fail("cannot tell the current folder");
    }
    Result<std::string> name = TextOf(dir);
    if (!name) {
        return Result<std::string>::Fail("cannot name the current folder: " + name.Reason());
    }
    return name;
}

// Removes a preview file an earlier call left, so a path this call returns
// never shows another logo's picture. A link is removed, not followed.
void RemoveStale(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path file = PathOf(path);
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(file, ec))) {
        std::filesystem::remove(file, ec);
    }
}

} // namespace

int CLogoImage::WritePreviewBitmap() {
    return WritePlaneBitmap("Temp.bmp", PlaneSource::Mono);
}

int CLogoImage::WriteThresholdBitmap() {
    const int written = WritePlaneBitmap("TempTe.bmp", PlaneSource::GreyBelow128);
    m_thresholdWritten = written == 1;
    return written;
}

int CLogoImage::WritePlaneBitmap(const char* name, PlaneSource source) {
    m_writeFailure.clear();
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
    const Result<std::string> folder = CurrentDirectory();
    if (!folder) {
        m_writeFailure = folder.Reason();
        return 0;
    }
    const std::string target = InFolder(folder.Value(), name);
    if (!m_writePicture) {
        m_writeFailure = "cannot write " + target + ": no way to write pictures was given";
        return 0;
    }
    if (const Result<void> written = m_writePicture(target, file); !written) {
        m_writeFailure = written.Reason();
        return 0;
    }
    return 1;
}

PreviewOutcome Preview(const std::string& previewName, int16_t imageMode, int16_t brightness,
                       const PictureWriter& write) {
    const auto outcome = [](std::string path, std::string why) {
        PreviewOutcome made;
        made.path = std::move(path);
        if (!why.empty()) {
            made.shown = Result<void>::Fail(std::move(why));
        }
        return made;
    };
    CLogoImage image;
    image.SetPictureWriter(write);
    const LogoFlags flags = ReadLogo(image, previewName);
    std::string why;
    if (!image.HasBitmap()) {
        why = previewName + ": " + image.LoadFailure();
    }
    if (flags.greyFlag != 1) {
        // The file is its own preview.
        return outcome(previewName, std::move(why));
    }
    const Result<std::string> current = CurrentDirectory();
    const std::string folder = current.ValueOr(std::string());
    if (why.empty() && !current) {
        why = current.Reason();
    }
    if (why.empty()) {
        image.ConvertLogo(flags.greyFlag, flags.whiteFlag, imageMode, ClampBrightness(brightness));
        why = image.NvFitFailure();
        if (!why.empty()) {
            why = previewName + ": " + why;
        } else if (image.WritePreviewBitmap() != 1) {
            why = image.WriteFailure();
        }
    }
    if (!why.empty() && !folder.empty()) {
        // No picture for this call: the path returned must not name an
        // older one, nor leave an older threshold picture beside it.
        RemoveStale(InFolder(folder, "Temp.bmp"));
        if (!image.ThresholdBitmapWritten()) {
            RemoveStale(InFolder(folder, "TempTe.bmp"));
        }
    }
    return outcome(InFolder(folder, "Temp.bmp"), std::move(why));
}

} // namespace tessaline
