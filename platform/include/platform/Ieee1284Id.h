// SPDX-License-Identifier: MIT
// The IEEE 1284 device ID a USB printer gives about itself:
// "MFG:EPSON;CMD:ESC/POS;MDL:TM-T20II;CLS:PRINTER;SN:X4EQ012345;".
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace tessaline {

struct Ieee1284Id {
    // Every KEY:VALUE field in order, keys as the device wrote them.
    std::vector<std::pair<std::string, std::string>> fields;
    // MFG (MANUFACTURER), MDL (MODEL), CMD (COMMAND SET), SN (SERN, SERIALNUMBER).
    std::optional<std::string> maker, model, commands, serialNumber;
};

// The longest device ID taken; the length field's two bytes allow more, the
// kernel's printer driver keeps 1 KiB.
inline constexpr size_t kMaxIeee1284Id = 1024;

// Reads a device ID, with or without its two-byte big-endian length in front
// and a line end after it; keys match in any case, values are trimmed.
// Refused with the reason when empty, too long, holding control bytes or no
// KEY:VALUE field at all.
Result<Ieee1284Id> ParseIeee1284Id(std::span<const uint8_t> bytes);

} // namespace tessaline
