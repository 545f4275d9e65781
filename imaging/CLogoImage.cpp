// SPDX-License-Identifier: MIT
// CLogoImage: loading a logo bitmap and converting it to the NV raster.

#include "imaging/CLogoImage.h"

#include "GreyLevel.h"
#include "StuckiDiffusion.h"
#include "imaging/LogoFormats.h"
#include "imaging/PathEncoding.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace tessaline {

namespace {

// The first `count` bytes of a file, or fewer when the file is shorter;
// nothing when it cannot be opened.
std::optional<std::vector<uint8_t>> ReadHead(const std::string& path, std::size_t count) {
    // Opening a FIFO would wait for a writer for ever; only plain files are read.
    std::error_code ec;
    const std::filesystem::path file = PathOf(path);
    if (!std::filesystem::is_regular_file(file, ec)) {
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<uint8_t> head(count);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(count));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return head;
}

uint32_t Le32(std::span<const uint8_t> b, std::size_t at) {
    if (at + 4 > b.size()) {
        return 0;
    }
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
           uint32_t{b[at + 3]} << 24;
}

bool HasBmSignature(std::span<const uint8_t> head) {
    return head.size() >= 14 && head[0] == 0x42 && head[1] == 0x4D;
}

constexpr uint32_t kBitFields = 3;
constexpr std::size_t kGreyProbeBytes = 32;
constexpr std::size_t kWhiteProbeBytes = 64;

// The grey flag from a file's first bytes. Every bitmap deeper than one bit
// per pixel is reduced through a grey level, whatever header or masks it
// carries; one-bit files are packed from their own bits. Pictures of other
// formats always take the grey path, one-bit PNG files too: their rows are
// laid over paper as 24-bit rows.
int GreyFlagOf(std::span<const uint8_t> head) {
    const LogoFormat format = LogoFormatOf(head);
    if (format == LogoFormat::Png || format == LogoFormat::Jpeg || format == LogoFormat::Gif) {
        return 1;
    }
    if (!HasBmSignature(head)) {
        return 0;
    }
    const uint32_t headerSize = Le32(head, 14);
    const std::size_t depthAt = headerSize == 12 ? 24 : 28;
    if (head.size() < depthAt + 2) {
        return 0;
    }
    const uint16_t depth = static_cast<uint16_t>(head[depthAt] | head[depthAt + 1] << 8);
    return depth > 1 ? 1 : 0;
}

// Where palette entry 0 starts, from a file's first 64 bytes: after the info
// header, whatever its size, and after the three masks that follow a 40-byte
// header under bit-field compression. Nothing for a file that is no bitmap.
std::optional<std::size_t> FirstEntryAt(std::span<const uint8_t> head) {
    if (!HasBmSignature(head)) {
        return std::nullopt;
    }
    const uint64_t headerSize = Le32(head, 14);
    const uint32_t compression = headerSize >= 40 ? Le32(head, 30) : 0;
    uint64_t paletteAt = 14 + headerSize;
    if (headerSize == 40 && compression == kBitFields) {
        paletteAt += 12;
    }
    if (paletteAt > 4096) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(paletteAt);
}

int WhiteAt(std::span<const uint8_t> bytes, std::size_t at) {
    if (bytes.size() < at + 3) {
        return 0;
    }
    return (bytes[at] == 0xFF && bytes[at + 1] == 0xFF && bytes[at + 2] == 0xFF) ? 1 : 0;
}

std::span<const uint8_t> Head(std::span<const uint8_t> file, std::size_t count) {
    return file.first(std::min(count, file.size()));
}

} // namespace

CLogoImage::CLogoImage() = default;
CLogoImage::~CLogoImage() = default;

int CLogoImage::NeedsGreyConversion(const std::string& path) {
    m_rasterLength = 0;
    const auto head = ReadHead(path, kGreyProbeBytes);
    return head ? GreyFlagOf(*head) : 0;
}

int CLogoImage::LoadBitmapFile(const std::string& path) {
    m_rasterLength = 0;
    m_bitmap.reset();
    m_planesReady = false;
    m_thresholdWritten = false;
    m_loadFailure.clear();
    auto bytes = ReadFileBytes(path);
    if (!bytes) {
        m_loadFailure = bytes.Reason();
        return 0;
    }
    auto decoded = DecodeLogo(bytes.Value());
    if (!decoded) {
        m_loadFailure = decoded.Reason();
        return 0;
    }
    return AdoptBitmap(std::move(decoded).Value());
}

int CLogoImage::AdoptBitmap(DecodedBitmap bitmap) {
    m_rasterLength = 0;
    m_planesReady = false;
    m_thresholdWritten = false;
    m_loadFailure.clear();
    m_bitmap = std::move(bitmap);
    m_description = m_bitmap->description;
    m_paddedWidth = static_cast<int32_t>((int64_t{m_description.bmWidth} + 7) / 8 * 8);
    m_paddedHeight = static_cast<int32_t>((int64_t{m_description.bmHeight} + 7) / 8 * 8);
    m_description.bmWidthBytes = (m_description.bmWidthBytes + 3) / 4 * 4;
    return 1;
}

int CLogoImage::IsFirstEntryWhite(const std::string& path) {
    m_rasterLength = 0;
    const auto head = ReadHead(path, kWhiteProbeBytes);
    const std::optional<std::size_t> at = head ? FirstEntryAt(*head) : std::nullopt;
    if (!at) {
        return 0;
    }
    const auto entry = ReadHead(path, *at + 3);
    return entry ? WhiteAt(*entry, *at) : 0;
}

bool CLogoImage::FitsNvImage() const {
    return HasBitmap() && tessaline::NvFitFailure(m_description).empty();
}

std::string CLogoImage::NvFitFailure() const {
    return HasBitmap() ? tessaline::NvFitFailure(m_description) : std::string();
}

std::string NvFitFailure(const BitmapDescription& description) {
    const int64_t paddedWidth = (int64_t{description.bmWidth} + 7) / 8 * 8;
    const int64_t paddedHeight = (int64_t{description.bmHeight} + 7) / 8 * 8;
    if (paddedWidth >= 8 && paddedHeight >= 8 && paddedWidth <= kMaxNvPaddedWidth &&
        paddedHeight <= kMaxNvPaddedHeight) {
        return {};
    }
    return "too large for the printer's NV memory (" + std::to_string(description.bmWidth) + " x " +
           std::to_string(description.bmHeight) + " dots; at most " +
           std::to_string(kMaxNvPaddedWidth) + " x " + std::to_string(kMaxNvPaddedHeight) + ")";
}

std::span<const uint8_t> CLogoImage::Raster() const {
    return std::span<const uint8_t>(m_raster).first(static_cast<std::size_t>(m_rasterLength));
}

void CLogoImage::ConvertLogo(int greyFlag, int whiteFlag, int32_t imageMode, int32_t brightness) {
    if (greyFlag == 1) {
        if (imageMode != 0) {
            ErrorDiffusionConvert(whiteFlag, brightness);
        } else {
            ThresholdConvert(whiteFlag, brightness);
        }
    } else {
        DirectConvert(whiteFlag);
    }
}

void CLogoImage::PrepareConversion() {
    m_rasterLength = 0;
    const auto area =
        static_cast<std::size_t>(m_paddedWidth) * static_cast<std::size_t>(m_paddedHeight);
    // Fresh planes for every file: the margin starts at 0 and nothing of an
    // earlier file shows through.
    m_grey.assign(area, 0);
    m_mono.assign(area, 0);
    m_planesReady = true;
    m_thresholdWritten = false;
}

void CLogoImage::GreyPass(bool withOffset, int32_t brightness) {
    const GreyLevels levels(*m_bitmap, withOffset ? BrightnessOffset(brightness) : 0);
    const auto width = static_cast<std::size_t>(m_description.bmWidth);
    const auto height = static_cast<std::size_t>(m_description.bmHeight);
    const auto stride = static_cast<std::size_t>(m_description.bmWidthBytes);
    const auto planeStride = static_cast<std::size_t>(m_paddedWidth);
    const bool anySkipped = !m_bitmap->skipped.empty();
    for (std::size_t m = 0; m < height; ++m) {
        uint8_t* grey = m_grey.data() + m * planeStride;
        levels.Row(m_bitmap->pixels.data() + m * stride, width, grey);
        for (std::size_t x = 0; anySkipped && x < width; ++x) {
            if (m_bitmap->IsSkipped(x, m)) {
                grey[x] = levels.Paper();
            }
        }
    }
}

void CLogoImage::ThresholdConvert(int whiteFlag, int32_t brightness) {
    if (!FitsNvImage()) {
        m_rasterLength = 0;
        return;
    }
    PrepareConversion();
    GreyPass(false, brightness);
    // The threshold is a 16-bit value in the original arithmetic; it wraps.
    const auto t =
        static_cast<int16_t>(static_cast<uint16_t>(5u * static_cast<uint32_t>(brightness) + 103u));
    const uint8_t* grey = m_grey.data();
    uint8_t* mono = m_mono.data();
    const std::size_t count = m_grey.size();
    for (std::size_t i = 0; i < count; ++i) {
        mono[i] = grey[i] > t ? 255 : 0;
    }
    PackRaster(false, whiteFlag);
}

void CLogoImage::ErrorDiffusionConvert(int whiteFlag, int32_t brightness) {
    if (!FitsNvImage()) {
        m_rasterLength = 0;
        return;
    }
    PrepareConversion();
    GreyPass(true, brightness);
    if (m_writesThreshold) {
        WriteThresholdBitmap();
    }

    StuckiDiffuse(m_grey.data(), static_cast<std::size_t>(m_paddedWidth),
                  static_cast<std::size_t>(m_paddedHeight), m_mono.data());
    PackRaster(false, whiteFlag);
}

void CLogoImage::DirectConvert(int whiteFlag) {
    if (!FitsNvImage()) {
        m_rasterLength = 0;
        return;
    }
    m_rasterLength = 0;
    PackRaster(true, whiteFlag);
}

void CLogoImage::PackRaster(bool direct, int whiteFlag) {
    const auto w = static_cast<std::size_t>(m_paddedWidth);
    const auto bands = static_cast<std::size_t>(m_paddedHeight) / 8;
    const auto width = static_cast<std::size_t>(m_description.bmWidth);
    const auto height = static_cast<std::size_t>(m_description.bmHeight);
    const auto stride = static_cast<std::size_t>(m_description.bmWidthBytes);
    const auto depth = static_cast<std::size_t>(m_description.bmBitsPixel);
    // Dots outside the bitmap (the margin) stay 0.
    m_raster.assign(w * bands, 0);
    uint8_t* raster = m_raster.data();

    if (direct) {
        for (std::size_t k = 0; k < bands; ++k) {
            for (std::size_t i = 0; i < 8; ++i) {
                const std::size_t y = 8 * k + i; // picture row from the top
                if (y >= height) {
                    break;
                }
                const uint8_t* row = m_bitmap->pixels.data() + (height - 1 - y) * stride;
                const auto bit = static_cast<uint8_t>(0x80u >> i);
                uint8_t* out = raster + k;
                for (std::size_t x = 0; x < width; ++x, out += bands) {
                    const bool set = (row[x * depth / 8] >> (7 - x % 8)) & 1;
                    if (set == (whiteFlag == 1)) {
                        *out = static_cast<uint8_t>(*out | bit);
                    }
                }
            }
        }
    } else {
        // Each band's byte gathers the eight rows at once; rows below the
        // bitmap read as white.
        const std::vector<uint8_t> white(w, 255);
        for (std::size_t k = 0; k < bands; ++k) {
            std::array<const uint8_t*, 8> rows{};
            for (std::size_t i = 0; i < 8; ++i) {
                const std::size_t y = 8 * k + i;
                rows[i] = y < height ? m_mono.data() + (height - 1 - y) * w : white.data();
            }
            uint8_t* out = raster + k;
            for (std::size_t x = 0; x < width; ++x, out += bands) {
                unsigned byte = 0;
                for (std::size_t i = 0; i < 8; ++i) {
                    byte |= static_cast<unsigned>(rows[i][x] < 127) << (7 - i);
                }
                *out = static_cast<uint8_t>(byte);
            }
        }
    }
    m_rasterLength = static_cast<int32_t>(w * bands);
}

int64_t BrightnessOffset(int32_t brightness) {
    if (brightness == 5) {
        return 0;
    }
    const int64_t steps = (5 - int64_t{brightness}) * 5;
    return static_cast<int64_t>(static_cast<double>(steps) * 1.27);
}

int32_t ClampBrightness(int32_t brightness) {
    return std::clamp(brightness, 0, 10);
}

LogoFlags LogoFlagsOf(std::span<const uint8_t> file) {
    LogoFlags flags;
    flags.greyFlag = GreyFlagOf(Head(file, kGreyProbeBytes));
    if (const auto at = FirstEntryAt(Head(file, kWhiteProbeBytes))) {
        flags.whiteFlag = WhiteAt(file, *at);
    }
    return flags;
}

LogoFlags ReadLogo(CLogoImage& image, const std::string& path) {
    LogoFlags flags;
    flags.greyFlag = image.NeedsGreyConversion(path);
    image.LoadBitmapFile(path);
    flags.whiteFlag = image.IsFirstEntryWhite(path);
    return flags;
}

Result<BitmapFigures> BitmapInfo(const std::string& nvImage) {
    const auto refuse = [&](const std::string& why) {
        std::string failure = nvImage;
        failure += ": ";
        failure += why;
        return Result<BitmapFigures>::Fail(std::move(failure), kBitmapInfoFailed);
    };
    auto bytes = ReadFileBytes(nvImage);
    if (!bytes) {
        return refuse(bytes.Reason());
    }
    const auto decoded = DecodeLogo(bytes.Value());
    if (!decoded) {
        return refuse(decoded.Reason());
    }
    const BitmapDescription& d = decoded.Value().description;
    const uint16_t fileBits = decoded.Value().fileBitsPixel;
    BitmapFigures figures;
    figures.bitsPixel = fileBits != 0 ? fileBits : d.bmBitsPixel;
    figures.height = d.bmHeight;
    figures.width = d.bmWidth;
    return figures;
}

} // namespace tessaline
