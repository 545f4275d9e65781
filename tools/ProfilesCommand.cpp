// SPDX-License-Identifier: MIT
// The printer profiles: what each known model is, and where each figure
// comes from.
#include "ProfilesCommand.h"

#include "Cli.h"
#include "base/JsonText.h"
#include "printer/PrinterProfiles.h"

#include <algorithm>
#include <ostream>

namespace tessaline {

namespace {

const std::vector<CliCommand>& Specs() {
    static const std::vector<CliCommand> specs = {
        {"profiles",
         "list the printer models Tessaline knows, or show one",
         "Usage: tessaline-cli profiles [MODEL] [--json]\n",
         "Without MODEL, lists every printer profile: its name, maker and model, dots per\n"
         "inch, the paper it takes with the dots across it, its command set and NV memory.\n"
         "With MODEL (a profile's name such as epson-tm-t88v, or the model as a printer\n"
         "or a person spells it: \"TM-T88V\", \"Epson TM-T88V\"), shows that profile with the\n"
         "source of every figure. A figure no source gives is \"unknown\"; what a printer\n"
         "answers about itself always counts over its profile.\n",
         {Flag("--json", "JSON instead of text")},
         "Exit status: 0 done; 1 wrong command line or no profile of that name.\n",
         {ValueKind::Text}},
    };
    return specs;
}

std::string PapersText(const PrinterProfile& p) {
    std::string text;
    for (const ProfilePaper& paper : p.Papers()) {
        text += (text.empty() ? "" : ", ") + std::to_string(paper.millimetres) + " mm " +
                std::to_string(paper.dots) + " dots";
    }
    return text.empty() ? "unknown" : text;
}

std::string BytesText(const ProfileFigure& f) {
    return f.Known() ? std::to_string(f.value) + " bytes" : "unknown";
}

void ListText(std::ostream& out) {
    for (const PrinterProfile& p : PrinterProfiles()) {
        std::string name = p.id;
        name.resize(std::max<size_t>(name.size() + 2, 20), ' ');
        std::string model = p.Name();
        model.resize(std::max<size_t>(model.size() + 2, 22), ' ');
        out << name << model << p.dpi << " dpi  " << PapersText(p) << "  "
            << ProfileCommandsName(p.commands);
        if (p.nvGraphicsBytes.Known()) {
            out << "  NV graphics " << p.nvGraphicsBytes.value << " bytes";
        }
        if (p.nvBitImageBytes.Known()) {
            out << "  NV bit images " << p.nvBitImageBytes.value << " bytes";
        }
        out << '\n';
    }
}

void ShowText(const PrinterProfile& p, std::ostream& out) {
    auto sourced = [&out](const char* label, const std::string& value, const char* source) {
        out << label << value;
        if (source[0] != '\0') {
            out << "  (" << source << ")";
        }
        out << '\n';
    };
    out << "Profile:        " << p.id << '\n';
    out << "Maker:          " << (p.maker[0] == '\0' ? "(sold under many names)" : p.maker) << '\n';
    out << "Model:          " << p.model << '\n';
    if (p.aliases[0] != '\0') {
        std::string aliases = p.aliases;
        for (char& c : aliases) {
            c = c == '|' ? ',' : c;
        }
        out << "Also sold as:   " << aliases << '\n';
    }
    out << "Resolution:     " << p.dpi << " dpi\n";
    out << "Language:       " << p.language << '\n';
    sourced("Commands:       ", std::string(ProfileCommandsName(p.commands)), p.commandsSource);
    if (p.paperCount == 0) {
        out << "Paper:          unknown\n";
    }
    for (const ProfilePaper& paper : p.Papers()) {
        sourced("Paper:          ",
                std::to_string(paper.millimetres) + " mm, " + std::to_string(paper.dots) +
                    " dots a line",
                paper.source);
    }
    sourced("NV graphics:    ", BytesText(p.nvGraphicsBytes), p.nvGraphicsBytes.source);
    sourced("NV bit images:  ", BytesText(p.nvBitImageBytes), p.nvBitImageBytes.source);
    sourced("NV writes:      ",
            p.nvWritesPerDay.Known() ? std::to_string(p.nvWritesPerDay.value) + " a day at most"
                                     : "unknown",
            p.nvWritesPerDay.source);
    out << "Code pages:     " << p.codePages << '\n';
    out << "Cutter:         " << (p.cutter ? "yes" : "no") << '\n';
    out << "Source:         " << p.source << " (see NOTICE)\n";
}

std::string FigureJson(const ProfileFigure& f) {
    if (!f.Known()) {
        return "null";
    }
    return "{\"value\": " + std::to_string(f.value) + ", \"source\": " + Json(f.source) + "}";
}

void ProfileJson(const PrinterProfile& p, std::ostream& out) {
    out << "{\"id\": " << Json(p.id) << ", \"maker\": " << Json(p.maker)
        << ", \"model\": " << Json(p.model) << ", \"dpi\": " << p.dpi
        << ", \"language\": " << Json(p.language)
        << ", \"commands\": " << Json(std::string(ProfileCommandsName(p.commands)))
        << ", \"papers\": [";
    for (size_t i = 0; i < p.paperCount; ++i) {
        const ProfilePaper& paper = p.papers[i];
        out << (i == 0 ? "" : ", ") << "{\"millimetres\": " << paper.millimetres
            << ", \"dots\": " << paper.dots << ", \"source\": " << Json(paper.source) << "}";
    }
    out << "], \"nvGraphicsBytes\": " << FigureJson(p.nvGraphicsBytes)
        << ", \"nvBitImageBytes\": " << FigureJson(p.nvBitImageBytes)
        << ", \"nvWritesPerDay\": " << FigureJson(p.nvWritesPerDay)
        << ", \"codePages\": " << Json(p.codePages)
        << ", \"cutter\": " << (p.cutter ? "true" : "false") << ", \"source\": " << Json(p.source)
        << "}";
}

} // namespace

const std::vector<CliCommand>& ProfilesCommandSpecs() {
    return Specs();
}

std::string ProfileLabel(const PrinterProfile& profile) {
    return profile.Name() + " (" + profile.id + ")";
}

int ProfilesCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::string usageText = HelpText(Specs()[0]);
    if (WantsHelp(args)) {
        out << usageText;
        return kExitDone;
    }
    const Result<ParsedOptions> parsed = ParseOptions(args, Specs()[0].options);
    if (!parsed || parsed.Value().operands.size() > 1) {
        err << "tessaline-cli profiles: "
            << (parsed ? std::string("one MODEL at a time") : parsed.Reason()) << "\n"
            << usageText;
        return kExitWrongUse;
    }
    const bool json = parsed.Value().Has("--json");
    if (parsed.Value().operands.empty()) {
        if (!json) {
            ListText(out);
            return kExitDone;
        }
        out << "{\"profiles\": [";
        bool first = true;
        for (const PrinterProfile& p : PrinterProfiles()) {
            out << (first ? "" : ", ");
            ProfileJson(p, out);
            first = false;
        }
        out << "]}\n";
        return kExitDone;
    }
    const std::string& name = parsed.Value().operands[0];
    const PrinterProfile* profile = FindProfile(name);
    if (profile == nullptr) {
        err << "tessaline-cli profiles: no profile is called \"" << name
            << "\" ('tessaline-cli profiles' lists them)\n";
        return kExitWrongUse;
    }
    if (json) {
        ProfileJson(*profile, out);
        out << '\n';
    } else {
        ShowText(*profile, out);
    }
    return kExitDone;
}

} // namespace tessaline
