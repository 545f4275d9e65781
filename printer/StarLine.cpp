// SPDX-License-Identifier: MIT
#include "printer/StarLine.h"

#include "PrintStream.h"

namespace tessaline {

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kFs = 0x1C;
constexpr int32_t kEraseSelector = 1000;
constexpr int32_t kAllLogos = 255;

uint8_t StarModeByte(int32_t mode) {
    return mode >= 1 && mode <= kMaxStarLogoMode ? static_cast<uint8_t>(mode) : uint8_t{0};
}

StreamCommand PrintLogo(int64_t number, uint8_t mode, int32_t progress = 0) {
    return {{kEsc, kFs, 0x70, static_cast<uint8_t>(number), mode}, progress};
}

std::string Dots(int64_t width, int64_t height) {
    return std::to_string(width) + " x " + std::to_string(height) + " dots";
}

} // namespace

Result<StarLogo> StarLogoFromGraphic(const RasterGraphic& graphic) {
    if (graphic.width < 1 || graphic.height < 1) {
        return Result<StarLogo>::Fail("a logo of " + Dots(graphic.width, graphic.height) +
                                      " has no dots");
    }
    const int64_t paddedWidth = (int64_t{graphic.width} + 7) / 8 * 8;
    const int64_t paddedHeight = (int64_t{graphic.height} + 7) / 8 * 8;
    if (paddedWidth > int64_t{kMaxStarLogoUnitsAcross} * 8 ||
        paddedHeight > int64_t{kMaxStarLogoUnitsDown} * 8) {
        return Result<StarLogo>::Fail(
            "a logo of " + Dots(graphic.width, graphic.height) + " is larger than the " +
            Dots(int64_t{kMaxStarLogoUnitsAcross} * 8, int64_t{kMaxStarLogoUnitsDown} * 8) +
            " Star Line Mode registers");
    }
    const std::size_t rowBytes = GraphicRowBytes(graphic.width);
    if (graphic.rows.size() != rowBytes * static_cast<std::size_t>(graphic.height)) {
        return Result<StarLogo>::Fail(
            "a logo of " + Dots(graphic.width, graphic.height) + " needs " +
            std::to_string(rowBytes * static_cast<size_t>(graphic.height)) +
            " bytes of rows, not " + std::to_string(graphic.rows.size()));
    }
    StarLogo logo;
    logo.paddedWidth = static_cast<int32_t>(paddedWidth);
    logo.paddedHeight = static_cast<int32_t>(paddedHeight);
    const auto columnBytes = static_cast<std::size_t>(paddedHeight / 8);
    logo.columns.assign(static_cast<std::size_t>(paddedWidth) * columnBytes, 0);
    for (int32_t y = 0; y < graphic.height; ++y) {
        const uint8_t* row = graphic.rows.data() + static_cast<std::size_t>(y) * rowBytes;
        for (int32_t x = 0; x < graphic.width; ++x) {
            if ((row[x / 8] >> (7 - x % 8) & 1) != 0) {
                logo.columns[static_cast<std::size_t>(x) * columnBytes +
                             static_cast<std::size_t>(y / 8)] |=
                    static_cast<uint8_t>(0x80u >> (y % 8));
            }
        }
    }
    return logo;
}

RasterGraphic StarLogoRows(const StarLogo& logo) {
    RasterGraphic rows{logo.paddedWidth, logo.paddedHeight, {}};
    const std::size_t rowBytes = GraphicRowBytes(logo.paddedWidth);
    const auto columnBytes = static_cast<std::size_t>(logo.paddedHeight / 8);
    rows.rows.assign(rowBytes * static_cast<std::size_t>(logo.paddedHeight), 0);
    for (int32_t x = 0; x < logo.paddedWidth; ++x) {
        for (int32_t y = 0; y < logo.paddedHeight; ++y) {
            const std::size_t at =
                static_cast<std::size_t>(x) * columnBytes + static_cast<std::size_t>(y / 8);
            if (at < logo.columns.size() && (logo.columns[at] >> (7 - y % 8) & 1) != 0) {
                rows.rows[static_cast<std::size_t>(y) * rowBytes +
                          static_cast<std::size_t>(x / 8)] |=
                    static_cast<uint8_t>(0x80u >> (x % 8));
            }
        }
    }
    return rows;
}

Result<std::array<uint8_t, 4>> StarLogoHeader(int32_t paddedWidth, int32_t paddedHeight) {
    if (paddedWidth < 8 || paddedHeight < 8 || paddedWidth % 8 != 0 || paddedHeight % 8 != 0 ||
        paddedWidth / 8 > kMaxStarLogoUnitsAcross || paddedHeight / 8 > kMaxStarLogoUnitsDown) {
        return Result<std::array<uint8_t, 4>>::Fail(
            "a logo of " + Dots(paddedWidth, paddedHeight) +
            " is not 1 to 1023 units of 8 dots across and 1 to 288 down");
    }
    const auto x = static_cast<uint32_t>(paddedWidth / 8);
    const auto y = static_cast<uint32_t>(paddedHeight / 8);
    return std::array<uint8_t, 4>{static_cast<uint8_t>(x & 0xFFu), static_cast<uint8_t>(x >> 8),
                                  static_cast<uint8_t>(y & 0xFFu), static_cast<uint8_t>(y >> 8)};
}

Result<std::vector<uint8_t>> StarRegisterLogosCommand(std::span<const StarLogo> logos,
                                                      std::optional<uint64_t> capacity) {
    using Bytes = Result<std::vector<uint8_t>>;
    if (logos.empty()) {
        return Bytes::Fail("there is no logo to register");
    }
    if (logos.size() > kMaxStarLogos) {
        return Bytes::Fail(std::to_string(logos.size()) + " logos are more than the " +
                           std::to_string(kMaxStarLogos) + " one registration holds");
    }
    uint64_t total = 0;
    for (const StarLogo& logo : logos) {
        total += logo.columns.size();
    }
    if (capacity && total > *capacity) {
        return Bytes::Fail(std::to_string(logos.size()) + " logos take " + std::to_string(total) +
                           " bytes, more than the printer's " + std::to_string(*capacity));
    }
    std::vector<uint8_t> out;
    out.reserve(4 + logos.size() * 4 + total);
    const auto head = StarRegisterHead(static_cast<uint8_t>(logos.size()));
    out.insert(out.end(), head.begin(), head.end());
    for (std::size_t k = 0; k < logos.size(); ++k) {
        const StarLogo& logo = logos[k];
        const auto header = StarLogoHeader(logo.paddedWidth, logo.paddedHeight);
        if (!header) {
            return Bytes::Fail("logo " + std::to_string(k + 1) + ": " + header.Reason());
        }
        const std::size_t expected = static_cast<std::size_t>(logo.paddedWidth) *
                                     static_cast<std::size_t>(logo.paddedHeight) / 8;
        if (logo.columns.size() != expected) {
            return Bytes::Fail("logo " + std::to_string(k + 1) + ": " +
                               Dots(logo.paddedWidth, logo.paddedHeight) + " take " +
                               std::to_string(expected) + " bytes, not " +
                               std::to_string(logo.columns.size()));
        }
        out.insert(out.end(), header.Value().begin(), header.Value().end());
        out.insert(out.end(), logo.columns.begin(), logo.columns.end());
    }
    return out;
}

Result<std::vector<uint8_t>> StarPrintLogoCommand(int32_t number, int32_t mode) {
    if (number < 1 || number > kAllLogos) {
        return Result<std::vector<uint8_t>>::Fail("logo number " + std::to_string(number) +
                                                  " is outside 1 to 255");
    }
    if (mode < 0 || mode > kMaxStarLogoMode) {
        return Result<std::vector<uint8_t>>::Fail("print mode " + std::to_string(mode) +
                                                  " is outside 0 to 3");
    }
    return PrintLogo(number, static_cast<uint8_t>(mode)).bytes;
}

std::vector<uint8_t> StarInitialiseCommand() {
    return {kEsc, 0x40};
}

std::vector<uint8_t> StarCutCommand() {
    return {kEsc, 0x64, 0x03};
}

std::vector<uint8_t> StarEraseLogosCommand() {
    // One logo of 1 x 1 units: its header, then 8 white bytes.
    return {kEsc, kFs, 0x71, 0x01, 0x01, 0x00, 0x01, 0x00, 0, 0, 0, 0, 0, 0, 0, 0};
}

std::array<uint8_t, 4> StarRegisterHead(uint8_t count) {
    return {kEsc, kFs, 0x71, count};
}

Result<std::vector<StreamCommand>> BuildStarPrintStream(int32_t first, int32_t mode, int32_t last) {
    if (std::string why = PrintRequestRefusal(first, mode, last); !why.empty()) {
        return Result<std::vector<StreamCommand>>::Fail(std::move(why));
    }
    std::vector<StreamCommand> out;
    if (first == kEraseSelector && mode == kEraseSelector) {
        // The printer takes nothing while it registers, and after the blank
        // logo there is nothing left to print.
        out.push_back({StarInitialiseCommand(), 0});
        out.push_back({StarEraseLogosCommand(), 0});
        return out;
    }
    const uint8_t m = StarModeByte(mode);
    if (first == 0 && last == 0) {
        out.reserve(kAllLogos + 1);
        for (int32_t j = 1; j <= kAllLogos; ++j) {
            out.push_back(PrintLogo(j, m, j));
        }
    } else if (first > 0 && last > 0) {
        for (int64_t i = first; i <= last; ++i) {
            out.push_back(PrintLogo(i, m));
        }
    } else {
        out.push_back(PrintLogo(first, m));
    }
    out.push_back({StarCutCommand(), 0});
    return out;
}

} // namespace tessaline
