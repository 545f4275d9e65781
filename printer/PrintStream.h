#pragma once

#include "CPrinterChannel.h"
#include "StreamResult.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tessaline {

// Longest range a printout accepts: more numbers would only print the stored
// images over and over, since the printer numbers them in one byte.
inline constexpr int64_t kMaxPrintRange = 255;

// FS p mode byte: 31..33 for modes 1..3, 30 for every other mode.
uint8_t PrintModeByte(int32_t mode);
// False for a range (first > 0) of more than kMaxPrintRange numbers.
bool PrintRangeAccepted(int32_t first, int32_t last);
// The printout (or, with first = mode = 1000, the erase) commands, ending with
// the cut; nothing when the range is refused.
std::optional<std::vector<StreamCommand>> BuildPrintStream(int32_t first, int32_t mode,
                                                           int32_t last);
// Writes the commands in order, raising Progress after those that carry a
// value; stops at the first refused byte.
StreamResult WriteCommands(CPrinterChannel& channel, const std::vector<StreamCommand>& commands,
                           const ProgressFn& progress);
// Builds and writes the printout stream. Refused (nothing sent) for an
// over-long range.
StreamResult WritePrintStream(CPrinterChannel& channel, int32_t first, int32_t mode, int32_t last,
                              const ProgressFn& progress);

} // namespace tessaline
