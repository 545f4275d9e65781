// SPDX-License-Identifier: MIT
// Star Line Mode logos: every logo registered at once (ESC FS q), each
// printed by its number (ESC FS p). The logo data is the NV raster imaging
// makes: column by column from the left, 8 vertical dots a byte, the top dot
// in bit 7, 1 a printed dot.
#pragma once

#include "base/Result.h"
#include "printer/NvGraphics.h"
#include "printer/StreamResult.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tessaline {

// ESC FS q counts its logos in one byte.
inline constexpr std::size_t kMaxStarLogos = 255;
// The size header counts 8-dot units: 1 to 1023 across, 1 to 288 down.
inline constexpr int32_t kMaxStarLogoUnitsAcross = 1023;
inline constexpr int32_t kMaxStarLogoUnitsDown = 288;
// The print modes of ESC FS p: normal, double wide, double high, both.
inline constexpr int32_t kMaxStarLogoMode = 3;

// One logo as ESC FS q carries it: padded to multiples of 8 dots both ways,
// its dots column by column (paddedHeight / 8 bytes a column).
struct StarLogo {
    int32_t paddedWidth = 0;
    int32_t paddedHeight = 0;
    std::vector<uint8_t> columns;
};

// The rows of a one-bit graphic laid out as a Star logo: the width and height
// rounded up to 8 dots with white, never cut. Refused for an empty graphic,
// rows of the wrong length, or a size past 8184 x 2304 dots.
Result<StarLogo> StarLogoFromGraphic(const RasterGraphic& graphic);
// The logo's dots as rows of its padded size (the inverse of the above).
RasterGraphic StarLogoRows(const StarLogo& logo);

// xL xH yL yH for a padded size, in 8-dot units; the reason when the size is
// not a multiple of 8 or lies outside 1..1023 x 1..288 units.
Result<std::array<uint8_t, 4>> StarLogoHeader(int32_t paddedWidth, int32_t paddedHeight);

// ESC FS q n with every logo's header and data, registering them as logos
// 1..n and deleting every logo registered before. Refused, with the figures,
// for no logo or more than 255, a logo whose size or data does not fit, or
// logos whose data passes `capacity` bytes (when the printer's is known).
Result<std::vector<uint8_t>> StarRegisterLogosCommand(std::span<const StarLogo> logos,
                                                      std::optional<uint64_t> capacity = {});
// ESC FS p n m: print logo `number` (1..255) in `mode` 0..3.
Result<std::vector<uint8_t>> StarPrintLogoCommand(int32_t number, int32_t mode);
// ESC @: the command state back to its initial values.
std::vector<uint8_t> StarInitialiseCommand();
// ESC d 3: feed to the cutter and cut partly (as the ESC/POS printout ends).
std::vector<uint8_t> StarCutCommand();
// Star Line Mode cannot delete its logos without registering others: the
// erase registers a single blank 8 x 8 logo, which deletes every logo before it.
std::vector<uint8_t> StarEraseLogosCommand();

// The upload: ESC @, then ESC FS q n (the images' headers and rasters follow
// from the caller, as for FS q). Only the command's head: 1B 1C 71 n.
std::array<uint8_t, 4> StarRegisterHead(uint8_t count);

// The printout as the ESC/POS one runs (0, 0: every number 1..255 with
// Progress; first..last; or one number), each ESC FS p in `mode` (1 to 3;
// any other mode prints normal size, as the ESC/POS printout does), then the
// cut; with first = mode = 1000 the erase instead. Refused with the reason
// PrintRequestRefusal gives (a number outside 1..255, a range that runs
// backwards, a range of more than 255 numbers).
Result<std::vector<StreamCommand>> BuildStarPrintStream(int32_t first, int32_t mode, int32_t last);

} // namespace tessaline
