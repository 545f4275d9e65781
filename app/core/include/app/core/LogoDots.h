// SPDX-License-Identifier: MIT
// The dots a logo file becomes for NV graphics: read, fitted to the paper
// when asked, and made into dots by the chosen method; the same dots the
// preview shows and Store sends.
#pragma once

#include "base/Result.h"
#include "imaging/BmpReader.h"
#include "printer/NvGraphics.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaline {

// The ways of making dots the tab offers, in the order it lists them.
// Stucki is the control's own "Error Diffusion".
enum class DotMethod { Threshold, Stucki, FloydSteinberg, Atkinson, Bayer };
inline constexpr int kDotMethodCount = 5;

// The method's name on the command line (--dither), for messages and settings.
const char* DotMethodName(DotMethod method);
std::optional<DotMethod> DotMethodNamed(std::string_view name);

struct DotSettings {
    DotMethod method = DotMethod::Threshold;
    int threshold = 128;    // Threshold: a grey below it prints
    int32_t brightness = 5; // the other methods, 0 bright to 10 dark
    bool fit = false;       // scale a logo wider than the paper down to it
    int32_t paperDots = 576;
};

// A logo file read whole.
struct LogoSource {
    std::string path;
    DecodedBitmap bitmap;
};

struct LogoDots {
    RasterGraphic graphic;
    int32_t sourceWidth = 0;
    int32_t sourceHeight = 0;
    bool fitted = false;
};

// Reads a BMP, PNG, JPEG or GIF logo; "<path>: <reason>" when it cannot be.
Result<LogoSource> ReadLogoSource(const std::string& path);

// The logo's dots; "<path>: <reason>" when they cannot be stored as one graphic.
Result<LogoDots> MakeLogoDots(const LogoSource& source, const DotSettings& settings);

// Whether a dot of a graphic prints.
inline bool DotAt(const RasterGraphic& graphic, int32_t x, int32_t y) {
    const auto row = static_cast<std::size_t>(y) * GraphicRowBytes(graphic.width);
    return ((graphic.rows[row + static_cast<std::size_t>(x) / 8] >> (7 - x % 8)) & 1u) != 0;
}

} // namespace tessaline
