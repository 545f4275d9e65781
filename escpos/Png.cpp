// SPDX-License-Identifier: MIT
#include "escpos/Png.h"

#include <csetjmp>
#include <cstring>
#include <new>
#include <png.h>
#include <utility>

namespace tessaline {

namespace {

struct PngSink {
    std::vector<uint8_t>* out;
};

void WriteToSink(png_structp png, png_bytep data, png_size_t length) {
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    try {
        sink->out->insert(sink->out->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        png_error(png, "out of memory");
    }
}

void FlushSink(png_structp) {}

// Only plain data lives in this frame, so the jump back from libpng's error
// handler skips no destructor.
bool WriteRows(png_structp png, png_infop info, int width, int height, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 1,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

} // namespace

std::vector<uint8_t> EncodePng(const MonoPicture& picture) {
    if (picture.width <= 0 || picture.height <= 0) {
        return {};
    }
    // PNG's one-bit grey has 0 for black: the dots are stored inverted.
    std::vector<uint8_t> inverted(picture.bits.size());
    for (size_t i = 0; i < inverted.size(); ++i) {
        inverted[i] = static_cast<uint8_t>(~picture.bits[i]);
    }
    std::vector<png_bytep> rows(static_cast<size_t>(picture.height));
    for (size_t y = 0; y < rows.size(); ++y) {
        rows[y] = inverted.data() + y * picture.RowBytes();
    }

    std::vector<uint8_t> out;
    PngSink sink{&out};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) {
        return {};
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return {};
    }
    png_set_write_fn(png, &sink, WriteToSink, FlushSink);
    const bool written = WriteRows(png, info, picture.width, picture.height, rows.data());
    png_destroy_write_struct(&png, &info);
    if (!written) {
        return {};
    }
    return out;
}

Result<MonoPicture> DecodePng(std::span<const uint8_t> bytes) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()) == 0) {
        return Result<MonoPicture>::Fail(image.message);
    }
    image.format = PNG_FORMAT_GRAY;
    std::vector<uint8_t> grey(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, grey.data(), 0, nullptr) == 0) {
        std::string why = image.message;
        png_image_free(&image);
        return Result<MonoPicture>::Fail(std::move(why));
    }
    MonoPicture picture =
        MonoPicture::Blank(static_cast<int>(image.width), static_cast<int>(image.height));
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            if (grey[static_cast<size_t>(y) * image.width + static_cast<size_t>(x)] < 128) {
                picture.SetDot(x, y);
            }
        }
    }
    return picture;
}

} // namespace tessaline
