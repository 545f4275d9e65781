// SPDX-License-Identifier: MIT
#include "app/core/StoredGraphics.h"

#include "imaging/BmpReader.h"
#include "imaging/LogoShaping.h"
#include "imaging/PathEncoding.h"
#include "platform/AtomicFile.h"

#include <filesystem>

namespace tessaline {

namespace {

// Names written in hexadecimal: an address holds characters no file name may.
std::string Hex(std::string_view text) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
    }
    return out;
}

} // namespace

StoredGraphics::StoredGraphics(std::string folder) : m_folder(std::move(folder)) {}

std::string StoredGraphics::PrinterFolder(const std::string& printer) const {
    return m_folder + "/" + Hex(printer);
}

std::string StoredGraphics::FileOf(const std::string& printer, GraphicKey key) const {
    return PrinterFolder(printer) + "/" + Hex(key.Text()) + ".bmp";
}

Result<void> StoredGraphics::Remember(const std::string& printer, GraphicKey key,
                                      const RasterGraphic& graphic) const {
    const auto w = static_cast<std::size_t>(graphic.width);
    const auto h = static_cast<std::size_t>(graphic.height);
    std::vector<uint8_t> mono(w * h, 255);
    for (int32_t y = 0; y < graphic.height; ++y) {
        for (int32_t x = 0; x < graphic.width; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * GraphicRowBytes(graphic.width) +
                                   static_cast<std::size_t>(x) / 8;
            if ((graphic.rows[at] >> (7 - x % 8)) & 1u) {
                mono[static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)] = 0;
            }
        }
    }
    std::error_code ec;
    std::filesystem::create_directories(PathOf(PrinterFolder(printer)), ec);
    if (ec) {
        return Result<void>::Fail("cannot make " + PrinterFolder(printer) + ": " + ec.message());
    }
    return ReplaceFileAtomically(PathOf(FileOf(printer, key)), EncodeDotsBmp(mono, w, h));
}

std::optional<RasterGraphic> StoredGraphics::Recall(const std::string& printer,
                                                    GraphicKey key) const {
    const auto bytes = ReadFileBytes(FileOf(printer, key));
    if (!bytes) {
        return std::nullopt;
    }
    const auto decoded = DecodeBmp(bytes.Value());
    if (!decoded || decoded.Value().description.bmBitsPixel != 1 ||
        decoded.Value().palette.size() < 2) {
        return std::nullopt;
    }
    const DecodedBitmap& bmp = decoded.Value();
    const int32_t w = bmp.description.bmWidth;
    const int32_t h = bmp.description.bmHeight;
    if (w < 1 || h < 1 || w > kMaxGraphicWidth || h > kMaxGraphicHeight) {
        return std::nullopt;
    }
    // The pictures are written white then black; a dot is an index whose entry is dark.
    const auto dark = [&bmp](std::size_t index) {
        const PaletteEntry& e = bmp.palette[index];
        return e.red + e.green + e.blue < 384;
    };
    RasterGraphic graphic{w, h,
                          std::vector<uint8_t>(GraphicRowBytes(w) * static_cast<std::size_t>(h))};
    const auto stride = static_cast<std::size_t>(bmp.description.bmWidthBytes);
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* row = bmp.pixels.data() + static_cast<std::size_t>(h - 1 - y) * stride;
        for (int32_t x = 0; x < w; ++x) {
            const std::size_t index = (row[static_cast<std::size_t>(x) / 8] >> (7 - x % 8)) & 1u;
            if (dark(index)) {
                graphic.rows[static_cast<std::size_t>(y) * GraphicRowBytes(w) +
                             static_cast<std::size_t>(x) / 8] |=
                    static_cast<uint8_t>(0x80u >> (x % 8));
            }
        }
    }
    return graphic;
}

void StoredGraphics::Forget(const std::string& printer, std::optional<GraphicKey> key) const {
    std::error_code ec;
    if (key) {
        std::filesystem::remove(PathOf(FileOf(printer, *key)), ec);
    } else {
        std::filesystem::remove_all(PathOf(PrinterFolder(printer)), ec);
    }
}

} // namespace tessaline
