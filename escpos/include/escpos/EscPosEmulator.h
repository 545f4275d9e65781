// SPDX-License-Identifier: MIT
#pragma once

#include "escpos/CommandTable.h"
#include "escpos/MonoPicture.h"
#include "printer/Profile.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessaline {

// One NV bit image as the printer stores it: x × 8 dots across, y × 8 dots
// down, raster column by column, 8 vertical dots a byte, top dot in bit 7.
struct NvImage {
    uint16_t x = 0;
    uint16_t y = 0;
    std::vector<uint8_t> raster;

    int Width() const { return x * 8; }
    int Height() const { return y * 8; }
    bool Dot(int col, int row) const {
        const size_t at = static_cast<size_t>(col) * y + static_cast<size_t>(row) / 8;
        return (raster[at] >> (7 - row % 8) & 1) != 0;
    }
};

// One NV graphic as the printer stores it under its two-byte key: rows top to
// bottom, (width + 7) / 8 bytes each, bit 7 the leftmost dot.
struct NvGraphic {
    std::string key; // two bytes from 32 to 126
    uint16_t width = 0;
    uint16_t height = 0;
    std::vector<uint8_t> rows;

    size_t RowBytes() const { return (static_cast<size_t>(width) + 7) / 8; }
    bool Dot(int x, int y) const {
        const size_t at = static_cast<size_t>(y) * RowBytes() + static_cast<size_t>(x) / 8;
        return (rows[at] >> (7 - x % 8) & 1) != 0;
    }
};

// A logo the printer prints by itself on every receipt (FS ( E): the key of
// an NV graphic, the alignment (48 left, 49 centre, 50 right) and, for the
// top logo, the lines of feed it takes back.
struct AutoLogo {
    std::string key;
    uint8_t align = 49;
    uint8_t lines = 0;
    friend bool operator==(const AutoLogo&, const AutoLogo&) = default;
};

// What the printer's NV memory holds, and how often it was written today.
struct NvMemory {
    std::vector<NvImage> images;     // NV image k is images[k - 1]
    std::vector<NvGraphic> graphics; // in key order
    // Printed at the top of every receipt cut off, and before every cut.
    std::optional<AutoLogo> topLogo, bottomLogo;
    std::string writesDay; // YYYY-MM-DD the count below belongs to
    uint32_t writesThatDay = 0;
};

// The build of one virtual printer: what the printer is, and how the
// emulation stands in for the rest of its surroundings.
struct PrinterModel : Profile {
    uint32_t writeMs = 0; // how long a write to NV memory keeps it busy
    // Its queue's driver prints the driver record's logo commands A and B with
    // every job it spools (the virtual printers' spooler side reads this).
    bool driverLogos = true;
};

inline constexpr uint16_t kNvMaxX = 1023;
inline constexpr uint32_t kMaxWriteMs = 600000;
inline constexpr uint16_t kNvMaxY = 288;
inline constexpr uint16_t kNvGraphicMaxWidth = 8192;
inline constexpr uint16_t kNvGraphicMaxHeight = 2304;
// One job's paper ends after this many dot rows (about 65 m); later prints
// are refused as out of paper, so a runaway job cannot exhaust memory.
inline constexpr int kPaperRowsPerJob = 1 << 19;

// One line of the printer's log: where in the job, and what happened.
struct LogEntry {
    size_t offset = 0;
    std::string text;
};

// Commands of another printer language found in a job: a job sent to the
// wrong kind of printer. Each emulator knows the other languages' first bytes.
struct ForeignCommands {
    std::string language;        // the language they look like: "Star", "ESC/POS"
    size_t commands = 0;         // how many
    size_t bytes = 0;            // the bytes those commands take
    std::vector<size_t> offsets; // where the first of them start (at most 8)

    void Add(size_t offset, size_t length) {
        ++commands;
        bytes += length;
        if (offsets.size() < 8) {
            offsets.push_back(offset);
        }
    }
};

// Everything one job did.
struct JobOutcome {
    std::vector<LogEntry> log;
    std::vector<MonoPicture> paper;   // pieces cut off, in the order they came out
    MonoPicture uncut;                // printed and not yet cut: it waits for the next cut
    bool memoryChanged = false;       // NV images or graphics were stored or erased
    std::string refusal;              // the first NV definition refused; empty when none was
    NotUnderstoodBytes notUnderstood; // bytes of commands the printer does not know
    ForeignCommands foreign;          // commands of another language; the job is not understood
};

// Bytes the NV memory uses: each definition's 4 size bytes and raster.
uint64_t NvBytesUsed(const NvMemory& memory);
// Bytes the NV graphics use: each graphic's rows.
uint64_t NvGraphicsBytesUsed(const NvMemory& memory);

// Interprets one job as the receipt printer does, starting from and updating
// `memory`, and printing on from `uncut`, the paper earlier jobs left
// without a cut. `today` (YYYY-MM-DD) keys the daily count of NV writes.
JobOutcome RunJob(const PrinterModel& model, NvMemory& memory, std::span<const uint8_t> job,
                  std::string_view today, MonoPicture uncut = {});

// The stored image as a picture, one dot a pixel.
MonoPicture NvImagePicture(const NvImage& image);
MonoPicture NvGraphicPicture(const NvGraphic& graphic);

} // namespace tessaline
