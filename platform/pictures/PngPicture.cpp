// SPDX-License-Identifier: MIT
// PNG files through libpng: every colour type and depth, interlaced or not,
// tRNS transparency as alpha, 16-bit samples reduced to their high byte.

#include "PictureLibraries.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <png.h>

namespace tessaline {

namespace {

struct PngSource {
    const uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t at = 0;
    char why[160] = {};
};

void ReadFromSource(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source->size - source->at) {
        png_error(png, "the file ends early");
    }
    std::memcpy(out, source->data + source->at, length);
    source->at += length;
}

void OnError(png_structp png, png_const_charp message) {
    auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
    std::snprintf(source->why, sizeof source->why, "%s", message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// True when a chunk before the image data claims more bytes than the file
// holds after it. libpng would read such a file to its end and fail there,
// but it first sets aside room for a text chunk of the length claimed, which
// only warns when too large: four bytes of a damaged file would have it take
// up to 2 GiB. The image data itself is read in small pieces.
bool ChunkRunsPastTheEnd(std::span<const uint8_t> file) {
    constexpr std::size_t kSignatureBytes = 8;
    constexpr std::size_t kChunkFrameBytes = 12; // length, type, CRC
    if (file.size() < kSignatureBytes || png_sig_cmp(file.data(), 0, kSignatureBytes) != 0) {
        return false; // libpng says what is wrong with the start
    }
    std::size_t at = kSignatureBytes;
    while (file.size() - at >= 8) {
        const png_uint_32 length = png_get_uint_32(file.data() + at);
        const uint8_t* type = file.data() + at + 4;
        if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0) {
            return false;
        }
        if (length > PNG_UINT_31_MAX) {
            return false; // libpng refuses it, in its own words, before setting room aside
        }
        const std::size_t left = file.size() - at;
        if (left < kChunkFrameBytes || length > left - kChunkFrameBytes) {
            return true;
        }
        at += kChunkFrameBytes + length;
    }
    return false;
}

struct Header {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int fileBits = 0;
};

// Only plain data lives in the two frames that set a jump point, so libpng's
// jump back from an error skips no destructor.
bool ReadHeader(png_structp png, png_infop info, Header& header) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
    png_read_info(png, info);
    header.width = png_get_image_width(png, info);
    header.height = png_get_image_height(png, info);
    const int depth = png_get_bit_depth(png, info);
    const int colour = png_get_color_type(png, info);
    header.fileBits = depth * png_get_channels(png, info);
    if (colour == PNG_COLOR_TYPE_PALETTE) {
        png_set_palette_to_rgb(png);
    }
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) {
        png_set_expand_gray_1_2_4_to_8(png);
    }
    const bool transparent = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (transparent) {
        png_set_tRNS_to_alpha(png);
    }
    if (depth == 16) {
        png_set_strip_16(png); // keeps the high byte
    }
    if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(png);
    }
    if ((colour & PNG_COLOR_MASK_ALPHA) == 0 && !transparent) {
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != std::size_t{header.width} * 4) {
        png_error(png, "unexpected row layout");
    }
    return true;
}

bool ReadImage(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_read_image(png, rows);
    return true;
}

class PngReader {
public:
    explicit PngReader(PngSource& source) {
        m_png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, OnError, OnWarning);
        if (m_png != nullptr) {
            m_info = png_create_info_struct(m_png);
            png_set_read_fn(m_png, &source, ReadFromSource);
        }
    }
    ~PngReader() {
        png_destroy_read_struct(&m_png, m_info != nullptr ? &m_info : nullptr, nullptr);
    }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    png_structp png() const { return m_png; }
    png_infop info() const { return m_info; }

private:
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
};

} // namespace

Result<PictureRows> DecodePngPicture(std::span<const uint8_t> file) {
    using R = Result<PictureRows>;
    PngSource source;
    source.data = file.data();
    source.size = file.size();
    PngReader reader(source);
    if (reader.png() == nullptr || reader.info() == nullptr) {
        return R::Fail("not enough memory to read the PNG file");
    }
    if (ChunkRunsPastTheEnd(file)) {
        return R::Fail("not a valid PNG file: the file ends early");
    }
    Header header;
    if (!ReadHeader(reader.png(), reader.info(), header)) {
        return R::Fail(std::string("not a valid PNG file: ") + source.why);
    }
    if (const std::string why = PictureSizeFailure(header.width, header.height); !why.empty()) {
        return R::Fail(why);
    }
    PictureRows picture;
    picture.width = static_cast<int32_t>(header.width);
    picture.height = static_cast<int32_t>(header.height);
    picture.fileBitsPixel = static_cast<uint16_t>(header.fileBits);
    picture.rgba.resize(std::size_t{header.width} * header.height * 4);
    std::vector<png_bytep> rows(header.height);
    for (std::size_t y = 0; y < rows.size(); ++y) {
        rows[y] = picture.rgba.data() + y * header.width * 4;
    }
    if (!ReadImage(reader.png(), rows.data())) {
        return R::Fail(std::string("not a valid PNG file: ") + source.why);
    }
    return picture;
}

} // namespace tessaline
