// SPDX-License-Identifier: MIT
// What tessaline-cli does to logo files before the control reads them:
// fitting them to the paper, and the dithers beyond the control's two modes.
#pragma once

#include "Options.h"
#include "base/Result.h"
#include "imaging/LogoShaping.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessaline {

struct ShapingChoice {
    int32_t fit = 0;                  // the paper's width in dots; 0 keeps the logo's own
    bool fitPaper = false;            // --fit paper: `fit` is the printer's paper, once known
    std::optional<DitherKind> dither; // none: the control's image mode makes the dots
    int threshold = 128;              // for DitherKind::Threshold
    int32_t brightness = 5;           // for the other dithers, as "Error Diffusion" applies it
};

// How a command line asks for a logo to be converted: the control's image
// mode and brightness, and what is done here before the control reads it.
struct Conversion {
    int32_t imageMode = 0; // 0 "None", 1 "Error Diffusion"
    int32_t brightness = 5;
    ShapingChoice shaping;
};

// --dither, --threshold, --brightness and --fit, with `older` (--mode,
// --image-mode) as the older spelling of --dither. Each converting command
// takes these, so the same words give the same dots everywhere.
std::vector<Option> ConversionOptions(const OptionAlias& older);
extern const OptionAlias kModeAlias;      // --mode none|diffusion
extern const OptionAlias kImageModeAlias; // --image-mode 0|1

// The conversion the options ask for. "threshold" without --threshold is the
// control's "None" and "stucki" its "Error Diffusion"; the other dithers, and
// a threshold of the user's own, are made here.
Result<Conversion> ConversionOf(const ParsedOptions& parsed);

// The shaped files of one command, in a private folder removed with it. A
// shaped logo is a BMP file: 24 bits when only fitted (the control's mode
// then makes its dots), one bit when dithered here (the control sends those
// dots as they are).
class ShapedLogos {
public:
    ShapedLogos() = default;
    ~ShapedLogos();
    ShapedLogos(const ShapedLogos&) = delete;
    ShapedLogos& operator=(const ShapedLogos&) = delete;

    // The file the control should read for `file`: `file` itself when the
    // choice leaves it as it is; "<file>: <reason>" when it cannot be shaped.
    Result<std::string> Prepare(const std::string& file, const ShapingChoice& choice);
    // `text` with each shaped file's name replaced by the user's own.
    std::string InUsersNames(std::string text) const;

private:
    std::filesystem::path m_folder;
    std::vector<std::pair<std::string, std::string>> m_names; // shaped, original
};

} // namespace tessaline
