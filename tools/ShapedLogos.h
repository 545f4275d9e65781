// SPDX-License-Identifier: MIT
// What tessaline-cli does to logo files before the control reads them:
// fitting them to the paper, and the dithers beyond the control's two modes.
#pragma once

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
    std::optional<DitherKind> dither; // none: the control's image mode makes the dots
    int threshold = 128;              // for DitherKind::Threshold
    int32_t brightness = 5;           // for the other dithers, as "Error Diffusion" applies it
};

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
