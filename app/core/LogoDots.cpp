// SPDX-License-Identifier: MIT
#include "app/core/LogoDots.h"

#include "imaging/CLogoImage.h"
#include "imaging/LogoFormats.h"
#include "imaging/LogoShaping.h"
#include "platform/pictures/PictureDecoders.h"

#include <array>
#include <utility>

namespace tessaline {

namespace {

constexpr std::array<const char*, kDotMethodCount> kNames = {
    "threshold", "stucki", "floyd-steinberg", "atkinson", "bayer"};

// Rows of dots, 0 where one prints, packed as a stored graphic's rows.
RasterGraphic PackMono(const std::vector<uint8_t>& mono, int32_t w, int32_t h) {
    RasterGraphic graphic{w, h, {}};
    const std::size_t rowBytes = GraphicRowBytes(w);
    graphic.rows.assign(rowBytes * static_cast<std::size_t>(h), 0);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            if (mono[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) +
                     static_cast<std::size_t>(x)] == 0) {
                graphic.rows[static_cast<std::size_t>(y) * rowBytes +
                             static_cast<std::size_t>(x) / 8] |=
                    static_cast<uint8_t>(0x80u >> (x % 8));
            }
        }
    }
    return graphic;
}

} // namespace

const char* DotMethodName(DotMethod method) {
    return kNames[static_cast<std::size_t>(method)];
}

std::optional<DotMethod> DotMethodNamed(std::string_view name) {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (name == kNames[i]) {
            return static_cast<DotMethod>(i);
        }
    }
    return std::nullopt;
}

Result<LogoSource> ReadLogoSource(const std::string& path) {
    using R = Result<LogoSource>;
    UseSystemPictureDecoders();
    const auto bytes = ReadFileBytes(path);
    if (!bytes) {
        return R::Fail(path + ": " + bytes.Reason());
    }
    auto decoded = DecodeLogo(bytes.Value());
    if (!decoded) {
        return R::Fail(path + ": " + decoded.Reason());
    }
    return LogoSource{path, std::move(decoded).Value()};
}

Result<LogoDots> MakeLogoDots(const LogoSource& source, const DotSettings& settings) {
    using R = Result<LogoDots>;
    const DecodedBitmap& logo = source.bitmap;
    LogoDots dots;
    dots.sourceWidth = logo.description.bmWidth;
    dots.sourceHeight = logo.description.bmHeight;
    dots.fitted = settings.fit && settings.paperDots > 0 && dots.sourceWidth > settings.paperDots;
    const DecodedBitmap fitted = dots.fitted ? FitToWidth(logo, settings.paperDots) : logo;
    const int32_t w = fitted.description.bmWidth;
    const int32_t h = fitted.description.bmHeight;
    if (w < 1 || h < 1 || w > kMaxGraphicWidth || h > kMaxGraphicHeight) {
        return R::Fail(source.path + ": " + std::to_string(w) + " x " + std::to_string(h) +
                       " dots; a stored graphic is 1 to " + std::to_string(kMaxGraphicWidth) +
                       " dots wide and 1 to " + std::to_string(kMaxGraphicHeight) + " high");
    }
    if (settings.method == DotMethod::Stucki) {
        // The control's own diffusion, over the bitmap it would read.
        CLogoImage image;
        image.SetWritesThresholdBitmap(false);
        image.AdoptBitmap(fitted);
        if (!image.FitsNvImage()) {
            return R::Fail(source.path + ": " + image.NvFitFailure());
        }
        image.ConvertLogo(1, 1, 1, ClampBrightness(settings.brightness));
        auto graphic = RasterGraphicFromNvRaster(image.Raster(), image.PaddedHeight(), w, h);
        if (!graphic) {
            return R::Fail(source.path + ": " + graphic.Reason());
        }
        dots.graphic = std::move(graphic).Value();
        return dots;
    }
    const bool plain = settings.method == DotMethod::Threshold;
    const std::vector<uint8_t> grey =
        GreyRows(fitted, plain ? 5 : ClampBrightness(settings.brightness));
    const DitherKind kind = plain ? DitherKind::Threshold
                            : settings.method == DotMethod::FloydSteinberg
                                ? DitherKind::FloydSteinberg
                            : settings.method == DotMethod::Atkinson ? DitherKind::Atkinson
                                                                     : DitherKind::Bayer;
    const auto uw = static_cast<std::size_t>(w);
    const auto uh = static_cast<std::size_t>(h);
    dots.graphic = PackMono(Dither(grey, uw, uh, kind, settings.threshold), w, h);
    return dots;
}

} // namespace tessaline
