// SPDX-License-Identifier: MIT
#include "PaperWidth.h"

#include "Cli.h"
#include "ShapedLogos.h"
#include "imaging/BmpReader.h"
#include "imaging/LogoFormats.h"
#include "platform/pictures/PictureDecoders.h"
#include "printer/PaperRolls.h"

#include <algorithm>
#include <ostream>

namespace tessaline {

Option PaperWidthOption() {
    std::vector<std::string> rolls;
    for (const PaperRoll& roll : kPaperRolls) {
        rolls.emplace_back(roll.name);
    }
    return Integer("--paper-width", "DOTS|58mm|80mm", kMinPaperDots, kMaxPaperDots,
                   "the dots across the printer's paper (58mm is 384, 80mm 576); a wider logo "
                   "is refused before anything is sent. A virtual printer knows its own")
        .OrWords(std::move(rolls))
        .Refusal("is a width in dots from 8 to 8184, or 58mm or 80mm");
}

std::optional<int32_t> PaperWidthOf(const std::string& given, const std::string& target,
                                    const std::string* option, const CliEnvironment& env,
                                    const std::string& who, std::ostream& err) {
    std::optional<int32_t> paper;
    if (option != nullptr) {
        const auto dots = Number(*option, kMinPaperDots, kMaxPaperDots);
        paper = dots ? static_cast<int32_t>(*dots) : PaperRollDots(*option);
    }
    if (const auto widths = VirtualPrinterWidths(target, env)) {
        // The printer's own paper bounds what it prints, whatever the user says.
        paper = std::min(paper.value_or(widths->paper), widths->paper);
    }
    if (!paper) {
        err << who << ": the paper width of " << given
            << " is not known; logos are not checked against it (give --paper-width "
               "DOTS|58mm|80mm)\n";
    }
    return paper;
}

ShapingChoice WithPaper(const ShapingChoice& choice, std::optional<int32_t> paper) {
    ShapingChoice fitted = choice;
    if (fitted.fitPaper && paper) {
        fitted.fit = *paper;
    }
    return fitted;
}

std::optional<int32_t> LogoWidth(const std::string& file) {
    UseSystemPictureDecoders();
    const auto bytes = ReadFileBytes(file);
    if (!bytes) {
        return std::nullopt;
    }
    const auto decoded = DecodeLogo(bytes.Value());
    if (!decoded) {
        return std::nullopt;
    }
    return decoded.Value().description.bmWidth;
}

std::string TooWide(const std::string& what, int32_t width, const std::string& printer,
                    int32_t paper, const std::string& wayOut) {
    return what + " is " + std::to_string(width) + " dots wide, " + printer + " prints " +
           std::to_string(paper) + ": " + wayOut;
}

std::string FitWayOut(int32_t paper) {
    return "use --fit " + std::to_string(paper) + " or --fit paper";
}

} // namespace tessaline
