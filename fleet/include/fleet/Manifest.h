// SPDX-License-Identifier: MIT
// The manifest: the logos a fleet of printers should hold, in one TOML file.
#pragma once

#include "base/Result.h"
#include "imaging/LogoShaping.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaline {

// How a printer keeps its logos: NV graphics by key (GS ( L), NV bit images
// numbered 1..n (FS q), or whichever the printer answers for; a Star printer's
// Line Mode logos numbered 1..n (ESC FS q), or its StarPRNT graphics by key.
enum class NvCommands { Auto, Graphics, BitImages, StarLine, StarPrnt };

// Logos numbered 1..n, all stored by one upload.
inline bool NumberedLogos(NvCommands commands) {
    return commands == NvCommands::BitImages || commands == NvCommands::StarLine;
}

struct ManifestLogo {
    std::string name;
    std::filesystem::path file; // the manifest's folder prepended to a relative path
    int32_t imageMode = 0;      // 0 "none", 1 "error-diffusion"
    int32_t brightness = 5;
    // dither = "floyd-steinberg" | "atkinson" | "bayer", or "threshold" with a
    // threshold = N of its own: the dots are made before the image mode
    // (which then sends them as they are). None: the image mode makes them.
    std::optional<DitherKind> dither;
    int threshold = 128; // for DitherKind::Threshold
    int32_t fit = 0;     // the paper's width in dots; 0 keeps the logo's own
    // fit = "paper": fitted to each printer's own paper width (paper-width),
    // and refused for a printer whose width is not known.
    bool fitPaper = false;
    int line = 0; // where its file is named, for messages
    int column = 0;
};

struct ManifestPrinter {
    std::string name;
    // An address ("socket://..."; a bare IPv4 address is taken as its raw
    // port's, socket://A.B.C.D:9100) or a spooler queue's name.
    std::string address;
    NvCommands commands = NvCommands::Auto;
    bool prune = false;     // delete NV graphics the manifest does not name
    int32_t paperWidth = 0; // dots across its paper; 0: not known
    // Store even where that erases the printer's logos of the other kind.
    bool replaceOtherLogos = false;
    // Key to logo name; for numbered logos the keys are "1".."n", in number order.
    std::vector<std::pair<std::string, std::string>> logos;
    int line = 0;
};

struct Manifest {
    std::filesystem::path file;
    std::map<std::string, ManifestLogo> logos;
    std::vector<ManifestPrinter> printers;
    // What the reader took otherwise than written, to be said once:
    // "FILE:LINE:COLUMN: taking 127.0.0.5 as socket://127.0.0.5:9100".
    std::vector<std::string> notes;
};

// Reads the manifest at `file`. Fails with every problem found, one a line,
// each as "FILE:LINE:COLUMN: what is wrong; what was expected".
Result<Manifest> ReadManifest(const std::filesystem::path& file);
// The same for text already read (`file` names it and anchors relative paths).
Result<Manifest> ParseManifest(std::string_view text, const std::filesystem::path& file);

} // namespace tessaline
