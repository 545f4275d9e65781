// SPDX-License-Identifier: MIT
#include "PaperWidth.h"

#include "Cli.h"
#include "ShapedLogos.h"
#include "imaging/BmpReader.h"
#include "imaging/LogoFormats.h"
#include "platform/PrinterAddress.h"
#include "platform/PrinterCommandsFile.h"
#include "platform/PrinterNvRecords.h"
#include "platform/pictures/PictureDecoders.h"
#include "printer/PaperRolls.h"
#include "printer/PrinterProfiles.h"
#include "printer/PrinterReport.h"

#include <algorithm>
#include <cstdlib>
#include <ostream>

namespace tessaline {

namespace {

Option PaperOption(std::string name, std::string help) {
    std::vector<std::string> rolls;
    for (const PaperRoll& roll : kPaperRolls) {
        rolls.emplace_back(roll.name);
    }
    return Integer(std::move(name), "DOTS|58mm|80mm", kMinPaperDots, kMaxPaperDots, std::move(help))
        .OrWords(std::move(rolls))
        .Refusal("is a width in dots from 8 to 8184, or 58mm or 80mm");
}

} // namespace

Option PaperWidthOption() {
    return PaperOption("--paper-width",
                       "the dots across the printer's paper (58mm is 384, 80mm 576); a wider logo "
                       "is refused before anything is sent. A virtual printer knows its own, and "
                       "a queue the one kept for it (printers --set-paper-width)");
}

Option SetPaperWidthOption() {
    return PaperOption("--set-paper-width",
                       "keep the dots across QUEUE's paper (58mm is 384, 80mm 576): every command "
                       "that stores or prints a logo through the queue then checks it");
}

std::optional<int32_t> PaperDots(const std::string& text) {
    if (const auto dots = Number(text, kMinPaperDots, kMaxPaperDots)) {
        return static_cast<int32_t>(*dots);
    }
    return PaperRollDots(text);
}

Result<std::optional<int32_t>> KeptPaperWidth(const std::string& printer) {
    using R = Result<std::optional<int32_t>>;
    const std::filesystem::path file = PrinterPaperFile();
    const auto kept = KeptPrinterValue(file, printer);
    if (!kept) {
        return R::FailAs(kept);
    }
    if (!kept.Value()) {
        return std::optional<int32_t>();
    }
    const auto dots = Number(*kept.Value(), kMinPaperDots, kMaxPaperDots);
    if (!dots) {
        return R::Fail(file.string() + ": the paper width kept for \"" + printer + "\" is \"" +
                       *kept.Value() + "\", not a width in dots from 8 to 8184");
    }
    return std::optional<int32_t>(static_cast<int32_t>(*dots));
}

namespace {

// The record of the printer at address `target`; nothing for a queue, a
// printer no tool has reached, or a record that cannot be read.
std::optional<PrinterNvRecord> AddressRecord(const std::string& target, const CliEnvironment& env) {
    if (!IsPrinterAddress(target)) {
        return std::nullopt;
    }
    auto record = PrinterNvRecords(env.dataHome / kPrinterRecordsFolder).Read(target);
    if (!record || !record.Value()) {
        return std::nullopt;
    }
    return std::move(record).Value();
}

// The profile of the model a record keeps; null when it names none or none matches.
const PrinterProfile* ProfileOfRecord(const PrinterNvRecord& record) {
    if (record.model.empty()) {
        return nullptr;
    }
    const auto match = MatchProfile({}, record.model);
    return match ? match->profile : nullptr;
}

} // namespace

const PrinterProfile* RecordedProfile(const std::string& target, const CliEnvironment& env) {
    const auto record = AddressRecord(target, env);
    return record ? ProfileOfRecord(*record) : nullptr;
}

namespace {

// The paper of the printer at address `target` as its record keeps it: the
// roll it said it is set for when a tool last asked, else its profile's
// paper; nothing when neither is known.
std::optional<int32_t> RecordedPaperDots(const std::string& target, const CliEnvironment& env) {
    const auto record = AddressRecord(target, env);
    if (!record) {
        return std::nullopt;
    }
    return KnownPaperOf(record->paperMillimetres, ProfileOfRecord(*record)).dots;
}

} // namespace

std::optional<int32_t> PaperWidthOf(const std::string& given, const std::string& target,
                                    const std::string* option, const CliEnvironment& env,
                                    const std::string& who, std::ostream& err) {
    std::optional<int32_t> paper;
    if (option != nullptr) {
        paper = PaperDots(*option);
    }
    const bool queue = !IsPrinterAddress(target);
    if (queue) {
        // The width the user keeps for the queue bounds it as the printer's own does.
        if (const auto kept = KeptPaperWidth(target); !kept) {
            err << who << ": " << kept.Reason() << "; it is not used\n";
        } else if (kept.Value()) {
            paper = std::min(paper.value_or(*kept.Value()), *kept.Value());
        }
    }
    if (const auto widths = VirtualPrinterWidths(target, env)) {
        // The printer's own paper bounds what it prints, whatever the user says.
        paper = std::min(paper.value_or(widths->paper), widths->paper);
    }
    if (const auto dots = RecordedPaperDots(target, env)) {
        // The roll the printer said it is set for, or else its model's own
        // line, bounds it too: a wider setting cannot widen it.
        paper = std::min(paper.value_or(*dots), *dots);
    }
    if (!paper) {
        err << who << ": the paper width of " << given
            << " is not known; logos are not checked against it (give --paper-width "
               "DOTS|58mm|80mm"
            << (queue ? ", or keep one with tessaline-cli printers --set-paper-width" : "")
            << ")\n";
    }
    return paper;
}

std::optional<StoredWidths> StoredLogoWidths(const std::string& target, const CliEnvironment& env) {
    if (auto widths = VirtualPrinterWidths(target, env)) {
        return widths;
    }
    const auto record = PrinterNvRecords(env.dataHome / kPrinterRecordsFolder).Read(target);
    if (!record || !record.Value()) {
        return std::nullopt;
    }
    StoredWidths widths;
    widths.images = record.Value()->imageWidths;
    for (const auto& [key, width] : record.Value()->graphicWidths) {
        widths.graphics.emplace_back(key, width);
    }
    if (widths.images.empty() && widths.graphics.empty()) {
        return std::nullopt;
    }
    // Only an ESC/POS printer has NV graphics; a Star one keeps its own
    // language and prints what fits.
    if (const auto kept = KeptPrinterCommands(PrinterCommandsFile(), target);
        kept && kept.Value() && *kept.Value() != "esc-pos") {
        widths.clips = true;
    }
    return widths;
}

ShapingChoice WithPaper(const ShapingChoice& choice, std::optional<int32_t> paper) {
    ShapingChoice fitted = choice;
    if (fitted.fitPaper && paper) {
        fitted.fit = *paper;
    }
    return fitted;
}

std::optional<int32_t> LogoWidth(const std::string& file) {
    const auto size = LogoSize(file);
    return size ? std::optional<int32_t>(size->first) : std::nullopt;
}

std::optional<std::pair<int32_t, int32_t>> LogoSize(const std::string& file) {
    UseSystemPictureDecoders();
    const auto bytes = ReadFileBytes(file);
    if (!bytes) {
        return std::nullopt;
    }
    const auto decoded = DecodeLogo(bytes.Value());
    if (!decoded) {
        return std::nullopt;
    }
    return std::pair<int32_t, int32_t>(decoded.Value().description.bmWidth,
                                       std::abs(decoded.Value().description.bmHeight));
}

std::string GroupedNumber(uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            grouped.push_back(',');
        }
        grouped.push_back(digits[i]);
    }
    return grouped;
}

std::optional<NvRoom> NvBitImageRoom(const std::string& target, const CliEnvironment& env) {
    // A virtual printer refuses in its own words what does not fit; a real
    // one reached by its address keeps nothing and says nothing.
    const PrinterProfile* profile = RecordedProfile(target, env);
    if (profile == nullptr || !profile->nvBitImageBytes.Known()) {
        return std::nullopt;
    }
    return NvRoom{profile->nvBitImageBytes.value, "the " + profile->Name() + " profile"};
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
