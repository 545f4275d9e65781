// SPDX-License-Identifier: MIT
// GIF files through giflib: the first frame on the file's canvas, its
// transparent index and the canvas it leaves uncovered as paper.

#include "PictureLibraries.h"

#include <algorithm>
#include <cstring>
#include <gif_lib.h>

namespace tessaline {

namespace {

struct GifSource {
    std::span<const uint8_t> file;
    std::size_t at = 0;
};

int ReadFromSource(GifFileType* gif, GifByteType* out, int length) {
    auto* source = static_cast<GifSource*>(gif->UserData);
    const std::size_t n =
        std::min(static_cast<std::size_t>(std::max(length, 0)), source->file.size() - source->at);
    std::memcpy(out, source->file.data() + source->at, n);
    source->at += n;
    return static_cast<int>(n);
}

class GifReader {
public:
    explicit GifReader(GifSource& source) { m_gif = DGifOpen(&source, ReadFromSource, &m_error); }
    ~GifReader() {
        if (m_gif != nullptr) {
            int ignored = 0;
            DGifCloseFile(m_gif, &ignored);
        }
    }
    GifReader(const GifReader&) = delete;
    GifReader& operator=(const GifReader&) = delete;

    GifFileType* Gif() const { return m_gif; }
    // giflib's words for the last failure.
    std::string Why() const {
        const int code = m_gif != nullptr ? m_gif->Error : m_error;
        const char* text = GifErrorString(code);
        return text != nullptr ? text : "unknown error " + std::to_string(code);
    }

private:
    GifFileType* m_gif = nullptr;
    int m_error = 0;
};

} // namespace

Result<PictureRows> DecodeGifPicture(std::span<const uint8_t> file) {
    using R = Result<PictureRows>;
    GifSource source{file};
    GifReader reader(source);
    GifFileType* gif = reader.Gif();
    const auto refuse = [&] { return R::Fail("not a valid GIF file: " + reader.Why()); };
    if (gif == nullptr) {
        return refuse();
    }
    int transparent = -1;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &record) == GIF_ERROR) {
            return refuse();
        }
        if (record == TERMINATE_RECORD_TYPE) {
            return R::Fail("not a valid GIF file: it holds no picture");
        }
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) {
                return refuse();
            }
            GraphicsControlBlock control;
            if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] == 4 &&
                DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
                transparent = control.TransparentColor;
            }
            while (block != nullptr) {
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) {
                    return refuse();
                }
            }
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE) {
            continue;
        }
        if (DGifGetImageDesc(gif) == GIF_ERROR) {
            return refuse();
        }
        const GifImageDesc& frame = gif->Image;
        // The canvas holds the first frame whole even where the file's screen is smaller.
        const int64_t width = std::max<int64_t>(gif->SWidth, int64_t{frame.Left} + frame.Width);
        const int64_t height = std::max<int64_t>(gif->SHeight, int64_t{frame.Top} + frame.Height);
        if (const std::string why = PictureSizeFailure(width, height); !why.empty()) {
            return R::Fail(why);
        }
        const ColorMapObject* colours = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
        PictureRows picture;
        picture.width = static_cast<int32_t>(width);
        picture.height = static_cast<int32_t>(height);
        picture.fileBitsPixel = 8;
        // Alpha 0 everywhere: what the frame does not cover is paper.
        picture.rgba.assign(static_cast<std::size_t>(width * height) * 4, 0);
        std::vector<GifPixelType> line(static_cast<std::size_t>(std::max(frame.Width, 1)));
        const auto put = [&](int y) {
            uint8_t* out = picture.rgba.data() + (static_cast<std::size_t>(frame.Top + y) *
                                                      static_cast<std::size_t>(width) +
                                                  static_cast<std::size_t>(frame.Left)) *
                                                     4;
            for (int x = 0; x < frame.Width; ++x, out += 4) {
                const int index = line[static_cast<std::size_t>(x)];
                if (index == transparent) {
                    continue;
                }
                // An index past the colour table is black, as past a BMP palette.
                if (colours != nullptr && index < colours->ColorCount) {
                    const GifColorType& c = colours->Colors[index];
                    out[0] = c.Red;
                    out[1] = c.Green;
                    out[2] = c.Blue;
                } else {
                    out[0] = out[1] = out[2] = 0;
                }
                out[3] = 255;
            }
        };
        static constexpr int kPassStart[] = {0, 4, 2, 1};
        static constexpr int kPassStep[] = {8, 8, 4, 2};
        const int passes = frame.Interlace ? 4 : 1;
        for (int pass = 0; pass < passes; ++pass) {
            const int step = frame.Interlace ? kPassStep[pass] : 1;
            for (int y = frame.Interlace ? kPassStart[pass] : 0; y < frame.Height; y += step) {
                if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR) {
                    return refuse();
                }
                put(y);
            }
        }
        return picture;
    }
}

} // namespace tessaline
