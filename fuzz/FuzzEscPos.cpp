// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the virtual printers' emulator (ESC/POS, Star Line
// Mode or StarPRNT, by the input's size) as one job,
// on a printer that already stores two images, and holds what it reports to
// the memory and paper it leaves: pieces cut off and paper left uncut.
#include "escpos/EscPosEmulator.h"
#include "escpos/StarEmulator.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace {

using tessaline::NvImage;
using tessaline::NvMemory;

NvMemory StoredBefore() {
    NvMemory memory;
    memory.images.push_back(NvImage{2, 2, std::vector<uint8_t>(32, 0xA5)});
    memory.images.push_back(NvImage{1, 1, std::vector<uint8_t>(8, 0xFF)});
    // One write short of the daily warning.
    memory.writesDay = "2024-05-01";
    memory.writesThatDay = tessaline::PrinterModel().nvWritesPerDay - 1;
    return memory;
}

bool SameImages(const NvMemory& a, const NvMemory& b) {
    if (a.images.size() != b.images.size()) {
        return false;
    }
    for (std::size_t k = 0; k < a.images.size(); ++k) {
        if (a.images[k].x != b.images[k].x || a.images[k].y != b.images[k].y ||
            a.images[k].raster != b.images[k].raster) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tessaline::PrinterModel model;
    // Both roll widths, and a small memory that definitions can overrun.
    if (size % 2 == 1) {
        model.paperWidth = 384;
        model.nvCapacity = 4096;
    }
    // And the Star languages, whose registrations share the memory.
    if (size % 5 == 1) {
        model.language = tessaline::PrinterLanguage::StarLine;
    } else if (size % 5 == 2) {
        model.language = tessaline::PrinterLanguage::StarPrnt;
    }
    const NvMemory before = StoredBefore();
    NvMemory memory = before;
    // Every third job prints on below paper an earlier job left uncut.
    tessaline::MonoPicture uncut;
    if (size % 3 == 0) {
        uncut = tessaline::MonoPicture::Blank(model.paperWidth, 24);
    }
    const tessaline::JobOutcome outcome = tessaline::RunLanguageJob(
        model, memory, std::span<const uint8_t>(data, size), "2024-05-01", uncut);

    if (!outcome.memoryChanged && !SameImages(memory, before)) {
        __builtin_trap();
    }
    if (outcome.memoryChanged && tessaline::NvBytesUsed(memory) > model.nvCapacity) {
        __builtin_trap();
    }
    for (const NvImage& image : memory.images) {
        if (image.x < 1 || image.x > tessaline::kNvMaxX || image.y < 1 ||
            image.y > tessaline::kNvMaxY ||
            image.raster.size() != static_cast<std::size_t>(image.x) * image.y * 8) {
            __builtin_trap();
        }
        const tessaline::MonoPicture picture = tessaline::NvImagePicture(image);
        if (picture.width != image.Width() || picture.height != image.Height()) {
            __builtin_trap();
        }
    }
    int64_t rows = 0;
    for (const tessaline::MonoPicture& piece : outcome.paper) {
        if (piece.width != model.paperWidth || piece.height <= 0 ||
            piece.bits.size() != piece.RowBytes() * static_cast<std::size_t>(piece.height)) {
            __builtin_trap();
        }
        rows += piece.height;
    }
    const tessaline::MonoPicture& left = outcome.uncut;
    if (left.height > 0 &&
        (left.width != model.paperWidth ||
         left.bits.size() != left.RowBytes() * static_cast<std::size_t>(left.height))) {
        __builtin_trap();
    }
    rows += left.height;
    if (rows > tessaline::kPaperRowsPerJob + uncut.height) {
        __builtin_trap();
    }
    for (const std::size_t offset : outcome.foreign.offsets) {
        if (offset >= size) {
            __builtin_trap();
        }
    }
    if (outcome.foreign.bytes > size) {
        __builtin_trap();
    }
    for (const tessaline::LogEntry& entry : outcome.log) {
        if (entry.offset > size || entry.text.empty()) {
            __builtin_trap();
        }
    }
    return 0;
}
