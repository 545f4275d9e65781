// SPDX-License-Identifier: MIT
#include "tests/support/PictureBuilder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <stdexcept>

namespace tessaline::test {

namespace {

void PngToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void PngFlush(png_structp) {}

int ChannelsOf(int colourType) {
    switch (colourType) {
    case 2:
        return 3;
    case 4:
        return 2;
    case 6:
        return 4;
    default:
        return 1;
    }
}

// Packs samples of any depth into one PNG row, most significant bits first.
std::vector<uint8_t> PngRow(const PngSpec& spec, int y) {
    const int channels = ChannelsOf(spec.colourType);
    const std::size_t bits = static_cast<std::size_t>(spec.width * channels * spec.bitDepth);
    std::vector<uint8_t> row((bits + 7) / 8, 0);
    std::size_t at = 0;
    for (int x = 0; x < spec.width; ++x) {
        const auto s = spec.samples(x, y);
        for (int c = 0; c < channels; ++c) {
            const uint16_t v = s[static_cast<std::size_t>(c)];
            if (spec.bitDepth == 16) {
                row[at / 8] = static_cast<uint8_t>(v >> 8);
                row[at / 8 + 1] = static_cast<uint8_t>(v);
            } else if (spec.bitDepth == 8) {
                row[at / 8] = static_cast<uint8_t>(v);
            } else {
                const std::size_t shift = 8 - static_cast<std::size_t>(spec.bitDepth) - at % 8;
                row[at / 8] = static_cast<uint8_t>(row[at / 8] | (v << shift));
            }
            at += static_cast<std::size_t>(spec.bitDepth);
        }
    }
    return row;
}

} // namespace

std::vector<uint8_t> MakePng(const PngSpec& spec) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<std::vector<uint8_t>> rows;
    for (int y = 0; y < spec.height; ++y) {
        rows.push_back(PngRow(spec, y));
    }
    std::vector<png_bytep> pointers;
    for (auto& r : rows) {
        pointers.push_back(r.data());
    }
    std::vector<png_color> palette;
    for (const auto& c : spec.palette) {
        palette.push_back({c[0], c[1], c[2]});
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("libpng could not write the test picture");
    }
    png_set_write_fn(png, &out, PngToVector, PngFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(spec.width),
                 static_cast<png_uint_32>(spec.height), spec.bitDepth, spec.colourType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) {
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    }
    png_color_16 clear{};
    if (spec.clear) {
        clear.gray = (*spec.clear)[0];
        clear.red = (*spec.clear)[0];
        clear.green = (*spec.clear)[1];
        clear.blue = (*spec.clear)[2];
    }
    if (!spec.paletteAlpha.empty() || spec.clear) {
        png_set_tRNS(png, info, spec.paletteAlpha.empty() ? nullptr : spec.paletteAlpha.data(),
                     static_cast<int>(spec.paletteAlpha.size()), spec.clear ? &clear : nullptr);
    }
    png_write_info(png, info);
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> MakeJpeg(const JpegSpec& spec) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(spec.width);
    info.image_height = static_cast<JDIMENSION>(spec.height);
    info.input_components = spec.components;
    info.in_color_space = spec.components == 1   ? JCS_GRAYSCALE
                          : spec.components == 4 ? JCS_CMYK
                                                 : JCS_RGB;
    jpeg_set_defaults(&info);
    if (spec.components == 4) {
        jpeg_set_colorspace(&info, JCS_YCCK); // written with Adobe's marker
    }
    jpeg_set_quality(&info, spec.quality, TRUE);
    if (spec.progressive) {
        jpeg_simple_progression(&info);
    }
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(static_cast<std::size_t>(spec.width * spec.components));
    while (info.next_scanline < info.image_height) {
        const int y = static_cast<int>(info.next_scanline);
        for (int x = 0; x < spec.width; ++x) {
            const auto s = spec.samples(x, y);
            for (int c = 0; c < spec.components; ++c) {
                row[static_cast<std::size_t>(x * spec.components + c)] =
                    s[static_cast<std::size_t>(c)];
            }
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

std::vector<uint8_t> WithExifOrientation(const std::vector<uint8_t>& jpeg, int orientation,
                                         bool bigEndian) {
    const auto put16 = [&](std::vector<uint8_t>& b, unsigned v) {
        if (bigEndian) {
            b.push_back(static_cast<uint8_t>(v >> 8));
            b.push_back(static_cast<uint8_t>(v));
        } else {
            b.push_back(static_cast<uint8_t>(v));
            b.push_back(static_cast<uint8_t>(v >> 8));
        }
    };
    std::vector<uint8_t> tiff;
    tiff.push_back(bigEndian ? 'M' : 'I');
    tiff.push_back(bigEndian ? 'M' : 'I');
    put16(tiff, 42);
    put16(tiff, bigEndian ? 0 : 8); // offset 8, as a 32-bit number
    put16(tiff, bigEndian ? 8 : 0);
    put16(tiff, 2); // entries: an unrelated tag first, then the orientation
    for (const auto& [tag, value] :
         {std::pair{0x011Au, 72u}, std::pair{0x0112u, unsigned(orientation)}}) {
        put16(tiff, tag);
        put16(tiff, 3); // SHORT
        put16(tiff, bigEndian ? 0 : 1);
        put16(tiff, bigEndian ? 1 : 0);
        put16(tiff, value);
        put16(tiff, 0);
    }
    put16(tiff, 0);
    put16(tiff, 0);
    std::vector<uint8_t> segment = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
    segment.insert(segment.end(), tiff.begin(), tiff.end());
    const std::size_t length = segment.size() - 2;
    segment[2] = static_cast<uint8_t>(length >> 8);
    segment[3] = static_cast<uint8_t>(length);
    // Sized once and filled in place (g++ 12 at -O3 takes inserts into a
    // two-byte vector for an overflow): SOI, the segment, the rest.
    std::vector<uint8_t> out(jpeg.size() + segment.size());
    const auto afterSoi = std::copy(jpeg.begin(), jpeg.begin() + 2, out.begin());
    const auto afterSegment = std::copy(segment.begin(), segment.end(), afterSoi);
    std::copy(jpeg.begin() + 2, jpeg.end(), afterSegment);
    return out;
}

namespace {

int GifToVector(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

} // namespace

std::vector<uint8_t> MakeGif(const GifSpec& spec) {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifToVector, &error);
    std::vector<GifColorType> colours;
    for (const auto& c : spec.palette) {
        colours.push_back({c[0], c[1], c[2]});
    }
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, spec.width, spec.height, 8, 0, map);
    if (spec.transparent >= 0) {
        GraphicsControlBlock control{};
        control.TransparentColor = spec.transparent;
        GifByteType block[4];
        EGifGCBToExtension(&control, block);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, block);
    }
    EGifPutImageDesc(gif, 0, 0, spec.width, spec.height, spec.interlaced, nullptr);
    std::vector<GifPixelType> line(static_cast<std::size_t>(spec.width));
    static constexpr int kStart[] = {0, 4, 2, 1};
    static constexpr int kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < (spec.interlaced ? 4 : 1); ++pass) {
        for (int y = spec.interlaced ? kStart[pass] : 0; y < spec.height;
             y += spec.interlaced ? kStep[pass] : 1) {
            for (int x = 0; x < spec.width; ++x) {
                line[static_cast<std::size_t>(x)] = spec.index(x, y);
            }
            EGifPutLine(gif, line.data(), spec.width);
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

} // namespace tessaline::test
