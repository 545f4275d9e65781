// SPDX-License-Identifier: MIT
#pragma once

#include "printer/CPrinterChannel.h"
#include "printer/StreamResult.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaline {

// Longest range a printout accepts: more numbers would only print the stored
// images over and over, since the printer numbers them in one byte.
inline constexpr int64_t kMaxPrintRange = 255;

// FS p mode byte: 31..33 for modes 1..3, 30 for every other mode.
uint8_t PrintModeByte(int32_t mode);
// Why the stream for first, mode, last cannot be sent as asked; empty when it
// can. The printer numbers its images 1 to 255: a single number or either end
// of a range outside that, or a range whose first number is greater than its
// last, is refused (0, 0 asks for every image). The erase (first = mode =
// 1000) keeps its stream and is refused only for more than kMaxPrintRange numbers.
std::string PrintRequestRefusal(int32_t first, int32_t mode, int32_t last);
// The printout (or, with first = mode = 1000, the erase) commands, ending with
// the cut; nothing when the request is refused.
std::optional<std::vector<StreamCommand>> BuildPrintStream(int32_t first, int32_t mode,
                                                           int32_t last);
// Writes the commands in order, raising Progress after those that carry a
// value; stops at the first refused byte.
StreamResult WriteCommands(CPrinterChannel& channel, const std::vector<StreamCommand>& commands,
                           const ProgressFn& progress);
// Builds and writes the printout stream. Refused (nothing sent) when
// PrintRequestRefusal gives a reason.
StreamResult WritePrintStream(CPrinterChannel& channel, int32_t first, int32_t mode, int32_t last,
                              const ProgressFn& progress);

} // namespace tessaline
