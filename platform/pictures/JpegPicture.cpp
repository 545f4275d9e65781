// SPDX-License-Identifier: MIT
// JPEG files through libjpeg-turbo: baseline and progressive, grey, YCbCr and
// CMYK or YCCK (Adobe's inverted samples). Imaging turns the picture upright
// by its EXIF orientation.

#include "PictureLibraries.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace tessaline {

namespace {

// A progressive file may hold any number of scans, each a pass over the
// whole picture; real files hold a dozen or so.
constexpr long kMaxScans = 500;

struct JpegFailure {
    jpeg_error_mgr manager{};
    jmp_buf jump{};
    char why[JMSG_LENGTH_MAX] = {};
};

[[noreturn]] void OnError(j_common_ptr info) {
    auto* failure = reinterpret_cast<JpegFailure*>(info->err);
    (*info->err->format_message)(info, failure->why);
    std::longjmp(failure->jump, 1);
}

// Warnings about damaged data are not errors: libjpeg fills in what is missing.
void OnMessage(j_common_ptr, int) {}

struct ScanLimit {
    jpeg_progress_mgr manager{};
    JpegFailure* failure = nullptr;
};

void CountScans(j_common_ptr info) {
    auto* limit = reinterpret_cast<ScanLimit*>(info->progress);
    const auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > kMaxScans) {
        std::snprintf(limit->failure->why, sizeof limit->failure->why, "too many scans");
        std::longjmp(limit->failure->jump, 1);
    }
}

// Only plain data lives in the two frames that set a jump point, so the jump
// back from an error skips no destructor.
bool ReadHeader(jpeg_decompress_struct& info, JpegFailure& failure, const uint8_t* data,
                std::size_t size) {
    if (setjmp(failure.jump)) {
        return false;
    }
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
        info.out_color_space = JCS_GRAYSCALE;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        info.out_color_space = JCS_CMYK;
        break;
    default:
        info.out_color_space = JCS_RGB;
        break;
    }
    return true;
}

bool ReadRows(jpeg_decompress_struct& info, JpegFailure& failure, uint8_t* rows,
              std::size_t stride) {
    if (setjmp(failure.jump)) {
        return false;
    }
    jpeg_start_decompress(&info);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = rows + std::size_t{info.output_scanline} * stride;
        jpeg_read_scanlines(&info, &row, 1);
    }
    return true;
}

class JpegReader {
public:
    JpegReader(JpegFailure& failure, ScanLimit& limit) {
        m_info.err = jpeg_std_error(&failure.manager);
        failure.manager.error_exit = OnError;
        failure.manager.emit_message = OnMessage;
        if (setjmp(failure.jump)) {
            return;
        }
        jpeg_create_decompress(&m_info);
        m_created = true;
        limit.failure = &failure;
        limit.manager.progress_monitor = CountScans;
        m_info.progress = &limit.manager;
        m_info.mem->max_memory_to_use = 512L * 1024 * 1024;
    }
    ~JpegReader() {
        if (m_created) {
            jpeg_destroy_decompress(&m_info);
        }
    }
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;

    bool Created() const { return m_created; }
    jpeg_decompress_struct& Info() { return m_info; }

private:
    jpeg_decompress_struct m_info{};
    bool m_created = false;
};

uint8_t Ink(unsigned a, unsigned b) {
    return static_cast<uint8_t>((a * b + 127) / 255);
}

} // namespace

Result<PictureRows> DecodeJpegPicture(std::span<const uint8_t> file) {
    using R = Result<PictureRows>;
    JpegFailure failure;
    ScanLimit limit;
    JpegReader reader(failure, limit);
    if (!reader.Created()) {
        return R::Fail("not enough memory to read the JPEG file");
    }
    jpeg_decompress_struct& info = reader.Info();
    if (!ReadHeader(info, failure, file.data(), file.size())) {
        return R::Fail(std::string("not a valid JPEG file: ") + failure.why);
    }
    if (const std::string why = PictureSizeFailure(info.image_width, info.image_height);
        !why.empty()) {
        return R::Fail(why);
    }
    const int channels = info.out_color_space == JCS_GRAYSCALE ? 1
                         : info.out_color_space == JCS_CMYK    ? 4
                                                               : 3;
    const std::size_t width = info.image_width;
    const std::size_t height = info.image_height;
    std::vector<uint8_t> samples(width * height * static_cast<std::size_t>(channels));
    if (!ReadRows(info, failure, samples.data(), width * static_cast<std::size_t>(channels))) {
        return R::Fail(std::string("not a valid JPEG file: ") + failure.why);
    }
    if (info.output_width != width || info.output_height != height) {
        return R::Fail("not a valid JPEG file: its size changed while decoding");
    }
    PictureRows picture;
    picture.width = static_cast<int32_t>(width);
    picture.height = static_cast<int32_t>(height);
    picture.fileBitsPixel = static_cast<uint16_t>(8 * info.num_components);
    picture.rgba.resize(width * height * 4);
    const bool adobe = info.saw_Adobe_marker != 0;
    const uint8_t* in = samples.data();
    uint8_t* out = picture.rgba.data();
    for (std::size_t i = 0; i < width * height; ++i, out += 4) {
        if (channels == 1) {
            out[0] = out[1] = out[2] = in[0];
        } else if (channels == 3) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
        } else {
            // Adobe's files store ink inverted: 255 is no ink. Others store it plainly.
            const unsigned k = adobe ? in[3] : 255u - in[3];
            for (int c = 0; c < 3; ++c) {
                out[c] = Ink(adobe ? in[c] : 255u - in[c], k);
            }
        }
        out[3] = 255;
        in += channels;
    }
    return picture;
}

} // namespace tessaline
