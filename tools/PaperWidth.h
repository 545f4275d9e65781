// SPDX-License-Identifier: MIT
// The printable width of a printer's paper, as tessaline-cli knows it: from
// --paper-width, or from a virtual printer's settings. A logo wider than a
// known width is refused before anything is sent, since the printer would
// print nothing of it.
#pragma once

#include "Cli.h"
#include "Options.h"
#include "base/Result.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <utility>

namespace tessaline {

struct CliEnvironment;
struct PrinterProfile;
struct ShapingChoice;

// --paper-width DOTS|58mm|80mm, for every command that stores or prints a logo.
Option PaperWidthOption();
// printers --set-paper-width DOTS|58mm|80mm, the width kept for a queue.
Option SetPaperWidthOption();

// The width of the paper of `target` (the printer the command sends to),
// named `given` as the user typed it: the narrowest of --paper-width
// (`option`, null when not given), the width kept for the queue (printers
// --set-paper-width), a virtual printer's own paper and, for an address, the
// roll the printer said it is set for when a tool last asked (else the paper
// of its profile). When none is known, `who` says so once on `err` and the
// command goes on; so it does, naming the file, when the kept widths cannot
// be read.
std::optional<int32_t> PaperWidthOf(const std::string& given, const std::string& target,
                                    const std::string* option, const CliEnvironment& env,
                                    const std::string& who, std::ostream& err);

// DOTS (8 to 8184), 58mm or 80mm as dots; nothing for anything else.
std::optional<int32_t> PaperDots(const std::string& text);

// The paper width kept for the queue `printer` (PrinterPaperFile()); nothing
// when none is; the reason, naming the file, when it cannot be read or holds
// no width for it.
Result<std::optional<int32_t>> KeptPaperWidth(const std::string& printer);

// --fit paper made the paper's width, where it is known.
ShapingChoice WithPaper(const ShapingChoice& choice, std::optional<int32_t> paper);

// The widths of the logos `target` holds, as far as they are known without
// asking it (no printer tells them): a virtual printer's own files, or else
// what the printer's record kept of the logos tools stored in it. Nothing
// when neither knows any.
std::optional<StoredWidths> StoredLogoWidths(const std::string& target, const CliEnvironment& env);

// The logo in `file` is `width` dots wide once shaped; nothing when it cannot
// be read, which the step that reads it then says.
std::optional<int32_t> LogoWidth(const std::string& file);

// The logo's width and height in dots, as LogoWidth reads it.
std::optional<std::pair<int32_t, int32_t>> LogoSize(const std::string& file);

// 361608 as "361,608".
std::string GroupedNumber(uint64_t value);

// How much NV memory for FS q images the printer at address `target` has,
// where the profile of the model it last answered with says; `from` names
// the profile ("the Epson TM-T88III profile").
struct NvRoom {
    uint64_t bytes = 0;
    std::string from;
};
std::optional<NvRoom> NvBitImageRoom(const std::string& target, const CliEnvironment& env);

// "wide.png is 1200 dots wide, NARROW prints 384: <wayOut>".
std::string TooWide(const std::string& what, int32_t width, const std::string& printer,
                    int32_t paper, const std::string& wayOut);
// The way out for a logo about to be stored: "use --fit 384 or --fit paper".
std::string FitWayOut(int32_t paper);

// The profile of the model the printer at address `target` last answered
// with, as its record keeps it; none for a queue or a printer not yet asked.
const PrinterProfile* RecordedProfile(const std::string& target, const CliEnvironment& env);

} // namespace tessaline
