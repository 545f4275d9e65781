// SPDX-License-Identifier: MIT
#include "ShapedLogos.h"

#include "imaging/LogoFormats.h"
#include "imaging/PathEncoding.h"
#include "platform/AtomicFile.h"
#include "platform/FileIo.h"
#include "platform/pictures/PictureDecoders.h"

namespace tessaline {

const OptionAlias kModeAlias{
    "--mode", {{"none", "threshold"}, {"diffusion", "stucki"}}, "is none or diffusion"};
const OptionAlias kImageModeAlias{
    "--image-mode", {{"0", "threshold"}, {"1", "stucki"}}, "is 0 (None) or 1 (Error Diffusion)"};

std::vector<Option> ConversionOptions(const OptionAlias& older) {
    return {
        Choice("--dither", "KIND", {"threshold", "stucki", "floyd-steinberg", "atkinson", "bayer"},
               "how grey becomes dots: threshold (the default: dots at or below a grey level, "
               "from the brightness unless --threshold gives it), stucki (the control's error "
               "diffusion), floyd-steinberg, atkinson or bayer")
            .Alias(older),
        Integer("--threshold", "0-255", 0, 255,
                "the grey level of --dither threshold; dots are the pixels darker than it")
            .Refusal("is a grey level from 0 to 255"),
        Integer("--brightness", "0-10", 0, 10,
                "5 by default; lower is darker: it sets the threshold's level (5 x N + 103) "
                "and shifts the grey levels before the other dithers"),
        Integer("--fit", "DOTS|paper", 8, 8184,
                "scale a logo wider than DOTS down to DOTS wide, keeping its proportions, by "
                "area averaging; never enlarges (384 dots is 58 mm paper, 576 is 80 mm, 832 "
                "is 112 mm); paper: to the printer's paper width, where it is known")
            .OrWords({"paper"})
            .Refusal("is a width in dots from 8 to 8184, or paper"),
    };
}

Result<Conversion> ConversionOf(const ParsedOptions& parsed) {
    Conversion c;
    c.brightness = static_cast<int32_t>(parsed.Int("--brightness").value_or(5));
    c.shaping.brightness = c.brightness;
    c.shaping.fit = static_cast<int32_t>(parsed.Int("--fit").value_or(0));
    c.shaping.fitPaper = parsed.Text("--fit") != nullptr && *parsed.Text("--fit") == "paper";
    const std::string* dither = parsed.Text("--dither");
    const std::string kind = dither == nullptr ? "threshold" : *dither;
    if (const auto level = parsed.Int("--threshold")) {
        if (kind != "threshold") {
            return Result<Conversion>::Fail("--threshold goes with --dither threshold, not with " +
                                            parsed.Spelling("--dither") + " " + *dither);
        }
        c.shaping.dither = DitherKind::Threshold;
        c.shaping.threshold = static_cast<int>(*level);
    } else if (kind == "stucki") {
        c.imageMode = 1;
    } else if (kind != "threshold") {
        c.shaping.dither = DitherKindNamed(kind);
    }
    return c;
}

ShapedLogos::~ShapedLogos() {
    if (!m_folder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_folder, ec);
    }
}

Result<std::string> ShapedLogos::Prepare(const std::string& file, const ShapingChoice& choice) {
    using R = Result<std::string>;
    if (choice.fitPaper && choice.fit == 0) {
        return R::Fail("--fit paper needs the paper's width, which is not known here: give "
                       "--paper-width DOTS|58mm|80mm with a printer, or --fit DOTS");
    }
    if (choice.fit == 0 && !choice.dither) {
        return file;
    }
    UseSystemPictureDecoders();
    const auto bytes = ReadFileBytes(file);
    if (!bytes) {
        return R::Fail(file + ": " + bytes.Reason());
    }
    auto decoded = DecodeLogo(bytes.Value());
    if (!decoded) {
        return R::Fail(file + ": " + decoded.Reason());
    }
    const DecodedBitmap& logo = decoded.Value();
    const bool wider = choice.fit > 0 && logo.description.bmWidth > choice.fit;
    if (!wider && !choice.dither) {
        return file; // never enlarged: the control reads the file itself
    }
    const DecodedBitmap fitted = wider ? FitToWidth(logo, choice.fit) : logo;
    std::vector<uint8_t> shaped;
    if (choice.dither) {
        const auto w = static_cast<std::size_t>(fitted.description.bmWidth);
        const auto h = static_cast<std::size_t>(fitted.description.bmHeight);
        const bool plain = *choice.dither == DitherKind::Threshold;
        const std::vector<uint8_t> grey = GreyRows(fitted, plain ? 5 : choice.brightness);
        shaped = EncodeDotsBmp(Dither(grey, w, h, *choice.dither, choice.threshold), w, h);
    } else {
        shaped = EncodeBmp24(fitted);
    }
    if (m_folder.empty()) {
        auto folder = MakeScratchFolder("tessaline-cli");
        if (!folder) {
            return R::FailAs(folder);
        }
        m_folder = folder.Value();
    }
    const std::filesystem::path target =
        m_folder / ("logo-" + std::to_string(m_names.size() + 1) + ".bmp");
    if (const Result<void> written = ReplaceFileAtomically(target, shaped); !written) {
        return R::FailAs(written);
    }
    Result<std::string> name = TextOf(target);
    if (!name) {
        return R::Fail(file + ": " + name.Reason());
    }
    m_names.emplace_back(name.Value(), file);
    return name;
}

std::string ShapedLogos::InUsersNames(std::string text) const {
    for (const auto& [shaped, original] : m_names) {
        for (std::size_t at = text.find(shaped); at != std::string::npos;
             at = text.find(shaped, at + original.size())) {
            text.replace(at, shaped.size(), original);
        }
    }
    return text;
}

} // namespace tessaline
