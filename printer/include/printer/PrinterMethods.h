// SPDX-License-Identifier: MIT
#pragma once

#include "printer/PrinterOperation.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tessaline {

// Stores the listed bitmaps as NV images 1..n (Printer 0; any other value
// spools an empty document) and switches the driver's logo commands on.
// Brightness outside 0 to 10 counts as the nearest end.
// A failure's code: -5 not installed; -4 a list that cannot be sent whole
// (no path, more than 255 paths, or a file that does not load or fit); -2
// not started; -3 not sent; -1 no memory for the driver record.
Result<void> Upload(const PrinterContext& context, int32_t Printer, const std::string& PrinterName,
                    const std::string& NVImage, int32_t ImageMode, int32_t Brightness);

// A logo file already in memory (BMP, PNG, JPEG or GIF bytes), named as
// messages name it.
struct LogoInMemory {
    std::string name;
    std::vector<uint8_t> bytes;
};
// Upload (Printer 0) of logos held in memory: the checks, stream, codes and
// driver record edit of an Upload of files with these bytes, and nothing
// read from or written to disk but "TempTe.bmp" where the context writes it.
Result<void> UploadLogos(const PrinterContext& context, const std::string& PrinterName,
                         std::vector<LogoInMemory> logos, int32_t ImageMode, int32_t Brightness);

// Prints stored NV images (Printer 0), erases them (Printer 3) or spools an
// empty document (any other value), then edits the driver's logo commands:
// off after an erase, on otherwise. Codes as Upload; -4 for numbers the
// printer cannot print as asked (PrintRequestRefusal).
Result<void> Print(const PrinterContext& context, int32_t Printer, const std::string& PrinterName,
                   int32_t Range, int32_t Mode, int32_t lngEnd);

} // namespace tessaline
