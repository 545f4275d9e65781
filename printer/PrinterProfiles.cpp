// SPDX-License-Identifier: MIT
#include "printer/PrinterProfiles.h"

#include "PrinterProfileTable.h"
#include "printer/PaperRolls.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

namespace tessaline {

namespace {

char Upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// A name as printers and people spell it, reduced to what tells models
// apart: capital letters and digits, with one hyphen where the name had
// blanks, hyphens, underscores or slashes between them.
std::string Spelling(std::string_view name) {
    std::string out;
    bool gap = false;
    for (const char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            if (gap && !out.empty()) {
                out += '-';
            }
            gap = false;
            out += Upper(c);
        } else if (c == ' ' || c == '-' || c == '_' || c == '/' || c == '\t') {
            gap = true;
        } else {
            // Anything else ends the name: "TSP143IIIW (STR_T-001)".
            break;
        }
    }
    return out;
}

std::string WithoutHyphens(std::string_view spelling) {
    std::string out;
    for (const char c : spelling) {
        if (c != '-') {
            out += c;
        }
    }
    return out;
}

// Where a name may be written apart and stay the same name: where the
// profile's own spelling has a hyphen, and between letters and digits
// ("TSP 143 III"). Elsewhere a gap says the letters after it are a suffix:
// "TM-T88V-i" is a TM-T88V, not a TM-T88VI.
std::vector<bool> Joints(std::string_view spelling) {
    std::vector<bool> joints; // joints[k]: a gap may stand before the k-th letter
    bool hyphen = false;
    char before = 0;
    for (const char c : spelling) {
        if (c == '-') {
            hyphen = true;
            continue;
        }
        const bool digitChange =
            before != 0 && (std::isdigit(static_cast<unsigned char>(before)) != 0) !=
                               (std::isdigit(static_cast<unsigned char>(c)) != 0);
        joints.push_back(hyphen || digitChange);
        hyphen = false;
        before = c;
    }
    return joints;
}

// True when the answer's gaps, up to `letters` letters of it, all stand at
// joints of the profile's name.
bool GapsAtJoints(std::string_view answer, const std::vector<bool>& joints, size_t letters) {
    size_t k = 0;
    bool gap = false;
    for (const char c : answer) {
        if (k >= letters) {
            break;
        }
        if (c == '-') {
            gap = true;
            continue;
        }
        if (gap && k > 0 && (k >= joints.size() || !joints[k])) {
            return false;
        }
        gap = false;
        ++k;
    }
    return true;
}

// What follows a profile's name in a longer one: a variant's letters
// ("-i", "W", "LAN") keep the model, a numeral or a digit names another.
bool IsVariantTail(std::string_view tail) {
    if (tail.empty()) {
        return false;
    }
    const char first = tail[0] == '-' && tail.size() > 1 ? tail[1] : tail[0];
    if (std::isdigit(static_cast<unsigned char>(first))) {
        return false;
    }
    if (tail[0] != '-' && (first == 'I' || first == 'V' || first == 'X')) {
        return false;
    }
    return true;
}

std::vector<std::string> NamesOf(const PrinterProfile& p) {
    std::vector<std::string> names{Spelling(p.model)};
    std::string_view aliases = p.aliases;
    while (!aliases.empty()) {
        const size_t bar = std::min(aliases.find('|'), aliases.size());
        names.push_back(Spelling(aliases.substr(0, bar)));
        aliases.remove_prefix(std::min(bar + 1, aliases.size()));
    }
    return names;
}

bool SameMaker(std::string_view answered, std::string_view profile) {
    const std::string a = WithoutHyphens(Spelling(answered));
    const std::string p = WithoutHyphens(Spelling(profile));
    if (a.empty() || p.empty()) {
        return true;
    }
    // "SEIKO EPSON" is Epson's; "STAR MICRONICS" is Star's.
    return a.find(p) != std::string::npos || p.find(a) != std::string::npos;
}

// The model's name without a maker's name in front of it ("EPSON TM-T88V").
std::string ModelPart(std::string_view maker, std::string_view profileMaker,
                      const std::string& model) {
    for (const std::string_view name : {maker, profileMaker}) {
        const std::string prefix = Spelling(name);
        if (!prefix.empty() && model.size() > prefix.size() + 1 && model.starts_with(prefix) &&
            model[prefix.size()] == '-') {
            return model.substr(prefix.size() + 1);
        }
    }
    return model;
}

} // namespace

std::string_view ProfileCommandsName(ProfileCommands commands) {
    switch (commands) {
    case ProfileCommands::NvGraphics:
        return "nv-graphics";
    case ProfileCommands::NvBitImages:
        return "nv-bit-images";
    case ProfileCommands::StarLine:
        return "star-line";
    case ProfileCommands::StarPrnt:
        return "star-prnt";
    case ProfileCommands::Unknown:
        break;
    }
    return "unknown";
}

std::optional<int32_t> PrinterProfile::PaperDots() const {
    if (paperCount == 0) {
        return std::nullopt;
    }
    return papers[0].dots;
}

std::optional<int32_t> RollDots(int32_t millimetres, const PrinterProfile* profile) {
    if (profile != nullptr) {
        for (const ProfilePaper& paper : profile->Papers()) {
            if (paper.millimetres == millimetres) {
                return paper.dots;
            }
        }
        if (profile->dpi != 0 && profile->dpi != 203) {
            return std::nullopt;
        }
    }
    std::string name = std::to_string(millimetres);
    name += "mm";
    return PaperRollDots(name);
}

std::string PrinterProfile::Name() const {
    return maker[0] == '\0' ? std::string(model) : std::string(maker) + " " + model;
}

Profile ProfileOf(const PrinterProfile& profile) {
    Profile printer;
    printer.maker = profile.maker[0] == '\0' ? "Generic" : profile.maker;
    printer.modelName = profile.model;
    if (const auto dots = profile.PaperDots()) {
        printer.paperWidth = *dots;
    }
    switch (profile.commands) {
    case ProfileCommands::StarLine:
        printer.language = PrinterLanguage::StarLine;
        break;
    case ProfileCommands::StarPrnt:
        printer.language = PrinterLanguage::StarPrnt;
        break;
    case ProfileCommands::NvBitImages:
        printer.nvGraphics = 0; // it does not answer GS ( L
        break;
    case ProfileCommands::NvGraphics:
    case ProfileCommands::Unknown:
        break;
    }
    if (profile.nvGraphicsBytes.Known()) {
        printer.nvGraphics = profile.nvGraphicsBytes.value;
    }
    if (profile.nvBitImageBytes.Known()) {
        printer.nvCapacity = profile.nvBitImageBytes.value;
    }
    if (profile.nvWritesPerDay.Known()) {
        printer.nvWritesPerDay =
            static_cast<uint32_t>(std::min<uint64_t>(profile.nvWritesPerDay.value, UINT32_MAX));
    }
    return printer;
}

uint64_t NvBitImageBytes(int32_t width, int32_t height) {
    const auto units = [](int32_t dots) {
        return (static_cast<uint64_t>(std::max(dots, 0)) + 7) / 8;
    };
    return units(width) * units(height) * 8 + 4;
}

std::span<const PrinterProfile> PrinterProfiles() {
    return {kPrinterProfileTable, kPrinterProfileCount};
}

std::optional<ProfileMatch> MatchProfile(std::string_view maker, std::string_view model) {
    const std::string answered = Spelling(model);
    if (answered.empty()) {
        return std::nullopt;
    }
    std::optional<ProfileMatch> best;
    size_t bestLength = 0;
    // A whole name beats the beginning of one; of two beginnings, the longer.
    auto offer = [&best, &bestLength](const PrinterProfile& p, ProfileMatchKind kind,
                                      size_t length) {
        const bool whole = kind != ProfileMatchKind::NameStart;
        const bool bestWhole = best && best->kind != ProfileMatchKind::NameStart;
        if (!best || (whole && !bestWhole) || (whole == bestWhole && length > bestLength)) {
            best = ProfileMatch{&p, kind};
            bestLength = length;
        }
    };
    for (const PrinterProfile& p : PrinterProfiles()) {
        if (!SameMaker(maker, p.maker)) {
            continue;
        }
        const std::string name = ModelPart(maker, p.maker, answered);
        const std::string bare = WithoutHyphens(name);
        const std::vector<std::string> names = NamesOf(p);
        for (size_t i = 0; i < names.size(); ++i) {
            const std::string candidate = WithoutHyphens(names[i]);
            if (candidate.empty()) {
                continue;
            }
            const std::vector<bool> joints = Joints(names[i]);
            if (bare == candidate && GapsAtJoints(name, joints, candidate.size())) {
                offer(p, i == 0 ? ProfileMatchKind::Name : ProfileMatchKind::Alias,
                      candidate.size());
                continue;
            }
            // The beginning of the name, counted in the answer's own spelling.
            size_t at = 0;
            size_t matched = 0;
            while (at < name.size() && matched < candidate.size()) {
                if (name[at] != '-') {
                    if (name[at] != candidate[matched]) {
                        break;
                    }
                    ++matched;
                }
                ++at;
            }
            if (matched == candidate.size() && IsVariantTail(std::string_view(name).substr(at)) &&
                GapsAtJoints(name, joints, candidate.size())) {
                offer(p, ProfileMatchKind::NameStart, candidate.size());
            }
        }
    }
    return best;
}

const PrinterProfile* FindProfile(std::string_view name) {
    const std::string wanted = WithoutHyphens(Spelling(name));
    if (wanted.empty()) {
        return nullptr;
    }
    for (const PrinterProfile& p : PrinterProfiles()) {
        if (WithoutHyphens(Spelling(p.id)) == wanted ||
            WithoutHyphens(Spelling(p.Name())) == wanted) {
            return &p;
        }
    }
    if (const auto match = MatchProfile({}, name);
        match && match->kind != ProfileMatchKind::NameStart) {
        return match->profile;
    }
    return nullptr;
}

} // namespace tessaline
