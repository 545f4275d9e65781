// SPDX-License-Identifier: MIT
// Telling logo formats apart, and bringing pictures of other formats to the
// rows the BMP path converts.

#include "imaging/LogoFormats.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace tessaline {

namespace {

// Set once by the host before its first call; read from the upload's workers.
std::atomic<PictureDecoder> g_png{nullptr};
std::atomic<PictureDecoder> g_jpeg{nullptr};
std::atomic<PictureDecoder> g_gif{nullptr};

bool StartsWith(std::span<const uint8_t> head, std::initializer_list<uint8_t> magic) {
    return head.size() >= magic.size() && std::equal(magic.begin(), magic.end(), head.begin());
}

uint16_t Get16(std::span<const uint8_t> b, std::size_t at, bool big) {
    return big ? static_cast<uint16_t>(b[at] << 8 | b[at + 1])
               : static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

uint32_t Get32(std::span<const uint8_t> b, std::size_t at, bool big) {
    const uint32_t hi = Get16(b, at, big);
    const uint32_t lo = Get16(b, at + 2, big);
    return big ? hi << 16 | lo : lo << 16 | hi;
}

// The orientation tag of the TIFF structure inside an EXIF segment; 1 when absent.
int OrientationInTiff(std::span<const uint8_t> tiff) {
    if (tiff.size() < 8) {
        return 1;
    }
    bool big = false;
    if (tiff[0] == 'M' && tiff[1] == 'M') {
        big = true;
    } else if (!(tiff[0] == 'I' && tiff[1] == 'I')) {
        return 1;
    }
    const uint64_t ifd = Get32(tiff, 4, big);
    if (ifd + 2 > tiff.size()) {
        return 1;
    }
    const std::size_t count = Get16(tiff, static_cast<std::size_t>(ifd), big);
    for (std::size_t i = 0; i < count; ++i) {
        const uint64_t entry = ifd + 2 + 12 * uint64_t{i};
        if (entry + 12 > tiff.size()) {
            return 1;
        }
        const auto at = static_cast<std::size_t>(entry);
        if (Get16(tiff, at, big) == 0x0112) {
            const int value = Get16(tiff, at + 8, big);
            return value >= 1 && value <= 8 ? value : 1;
        }
    }
    return 1;
}

} // namespace

LogoFormat LogoFormatOf(std::span<const uint8_t> head) {
    if (StartsWith(head, {0x42, 0x4D})) {
        return LogoFormat::Bmp;
    }
    if (StartsWith(head, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) {
        return LogoFormat::Png;
    }
    if (StartsWith(head, {0xFF, 0xD8, 0xFF})) {
        return LogoFormat::Jpeg;
    }
    if (StartsWith(head, {'G', 'I', 'F', '8', '7', 'a'}) ||
        StartsWith(head, {'G', 'I', 'F', '8', '9', 'a'})) {
        return LogoFormat::Gif;
    }
    return LogoFormat::Unknown;
}

std::string PictureSizeFailure(int64_t width, int64_t height) {
    if (width < 1 || height < 1) {
        return "the picture is empty (" + std::to_string(width) + " x " + std::to_string(height) +
               ")";
    }
    if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels) {
        return "image too large (" + std::to_string(width) + " x " + std::to_string(height) + ")";
    }
    return {};
}

void UsePictureDecoders(const PictureDecoders& decoders) {
    g_png.store(decoders.png);
    g_jpeg.store(decoders.jpeg);
    g_gif.store(decoders.gif);
}

Result<DecodedBitmap> DecodeLogo(std::vector<uint8_t>&& file) {
    if (LogoFormatOf(file) == LogoFormat::Bmp) {
        return DecodeBmp(std::move(file));
    }
    return DecodeLogo(std::span<const uint8_t>(file));
}

Result<DecodedBitmap> DecodeLogo(std::span<const uint8_t> file) {
    using R = Result<DecodedBitmap>;
    PictureDecoder decode = nullptr;
    const char* name = "";
    switch (LogoFormatOf(file)) {
    case LogoFormat::Bmp:
        return DecodeBmp(file);
    case LogoFormat::Png:
        decode = g_png.load();
        name = "PNG";
        break;
    case LogoFormat::Jpeg:
        decode = g_jpeg.load();
        name = "JPEG";
        break;
    case LogoFormat::Gif:
        decode = g_gif.load();
        name = "GIF";
        break;
    case LogoFormat::Unknown:
        return R::Fail("not a BMP file (nor a PNG, JPEG or GIF file)");
    }
    if (decode == nullptr) {
        return R::Fail(std::string(name) + " files cannot be read here");
    }
    auto picture = decode(file);
    if (!picture) {
        return R::FailAs(picture);
    }
    PictureRows& rows = picture.Value();
    if (const std::string why = PictureSizeFailure(rows.width, rows.height); !why.empty()) {
        return R::Fail(why);
    }
    if (rows.rgba.size() !=
        static_cast<std::size_t>(rows.width) * static_cast<std::size_t>(rows.height) * 4) {
        return R::Fail(std::string("the ") + name +
                       " decoder delivered a picture of the wrong size");
    }
    if (LogoFormatOf(file) == LogoFormat::Jpeg) {
        return OnWhitePaper(Oriented(std::move(rows), ExifOrientationOf(file)));
    }
    return OnWhitePaper(rows);
}

DecodedBitmap OnWhitePaper(const PictureRows& picture) {
    DecodedBitmap bitmap;
    const auto width = static_cast<std::size_t>(picture.width);
    const auto height = static_cast<std::size_t>(picture.height);
    const std::size_t stride = (width * 3 + 3) / 4 * 4;
    BitmapDescription& d = bitmap.description;
    d.bmWidth = picture.width;
    d.bmHeight = picture.height;
    d.bmWidthBytes = static_cast<int32_t>(stride);
    d.bmPlanes = 1;
    d.bmBitsPixel = 24;
    bitmap.fileBitsPixel = picture.fileBitsPixel;
    bitmap.pixels.assign(stride * height, 0);
    for (std::size_t y = 0; y < height; ++y) {
        const uint8_t* in = picture.rgba.data() + y * width * 4;
        uint8_t* out = bitmap.pixels.data() + (height - 1 - y) * stride;
        for (std::size_t x = 0; x < width; ++x, in += 4, out += 3) {
            const unsigned a = in[3];
            const unsigned paper = 255 * (255 - a) + 127;
            out[0] = static_cast<uint8_t>((in[2] * a + paper) / 255);
            out[1] = static_cast<uint8_t>((in[1] * a + paper) / 255);
            out[2] = static_cast<uint8_t>((in[0] * a + paper) / 255);
        }
    }
    return bitmap;
}

int ExifOrientationOf(std::span<const uint8_t> jpeg) {
    // Segments follow the start marker until the picture's data begins.
    std::size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
        const uint8_t marker = jpeg[at + 1];
        if (marker == 0xDA || marker == 0xD9) {
            break;
        }
        const std::size_t length = Get16(jpeg, at + 2, true);
        if (length < 2 || at + 2 + length > jpeg.size()) {
            break;
        }
        const auto body = jpeg.subspan(at + 4, length - 2);
        static constexpr uint8_t kExif[] = {'E', 'x', 'i', 'f', 0, 0};
        if (marker == 0xE1 && body.size() >= 6 && std::memcmp(body.data(), kExif, 6) == 0) {
            return OrientationInTiff(body.subspan(6));
        }
        at += 2 + length;
    }
    return 1;
}

PictureRows Oriented(PictureRows picture, int orientation) {
    if (orientation < 2 || orientation > 8) {
        return picture;
    }
    const auto w = static_cast<std::size_t>(picture.width);
    const auto h = static_cast<std::size_t>(picture.height);
    const bool turned = orientation >= 5;
    PictureRows out;
    out.width = turned ? picture.height : picture.width;
    out.height = turned ? picture.width : picture.height;
    out.fileBitsPixel = picture.fileBitsPixel;
    out.rgba.resize(picture.rgba.size());
    const auto ow = static_cast<std::size_t>(out.width);
    const auto oh = static_cast<std::size_t>(out.height);
    for (std::size_t y = 0; y < oh; ++y) {
        for (std::size_t x = 0; x < ow; ++x) {
            std::size_t sx = x;
            std::size_t sy = y;
            switch (orientation) {
            case 2:
                sx = w - 1 - x;
                break;
            case 3:
                sx = w - 1 - x;
                sy = h - 1 - y;
                break;
            case 4:
                sy = h - 1 - y;
                break;
            case 5:
                sx = y;
                sy = x;
                break;
            case 6:
                sx = y;
                sy = h - 1 - x;
                break;
            case 7:
                sx = w - 1 - y;
                sy = h - 1 - x;
                break;
            default:
                sx = w - 1 - y;
                sy = x;
                break; // 8
            }
            std::memcpy(out.rgba.data() + (y * ow + x) * 4, picture.rgba.data() + (sy * w + sx) * 4,
                        4);
        }
    }
    return out;
}

} // namespace tessaline
