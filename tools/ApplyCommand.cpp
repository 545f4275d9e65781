// SPDX-License-Identifier: MIT
// A fleet of printers from one manifest: fleet/ does the work; this reads the
// command line, shows progress and prints one line per printer.
#include "ApplyCommand.h"

#include "ApplyReport.h"
#include "Cli.h"
#include "PaperWidth.h"
#include "ShapedLogos.h"
#include "fleet/Apply.h"
#include "fleet/Selection.h"
#include "platform/AtomicFile.h"
#include "platform/HostSystem.h"
#include "platform/PrinterAddress.h"
#include "platform/PrinterNvRecords.h"
#include "platform/SystemSpooler.h"
#include "platform/pictures/PictureDecoders.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>

namespace tessaline {

namespace {

const std::vector<CliCommand>& Specs() {
    static const std::vector<CliCommand> specs = {
        {"apply",
         "make many printers hold the logos one manifest names",
         "Usage: tessaline-cli apply MANIFEST [--plan] [--jobs N] [--json] [--state FILE]\n"
         "                           [--max-writes N] [--only NAME|ADDRESS]... [--failed]\n"
         "                           [--report FILE.csv|FILE.json]\n",
         "Makes every printer of MANIFEST (TOML: [defaults], [logos.NAME] and\n"
         "[[printers]]; see tessaline-cli(1)) hold the logos it names, writing only what\n"
         "differs: each printer is asked for its status, serial number, NV graphics key\n"
         "list and free memory, its plan worked out against the state file, and each key\n"
         "stored checked in the key list afterwards. NV bit image printers\n"
         "(commands = \"nv-bit-images\") get one FS q upload of all their logos when any\n"
         "changed. StarPRNT printers (commands = \"star-prnt\") are asked their key list,\n"
         "and each graphic stored is read back and compared dot for dot. Keys the\n"
         "manifest does not name are left alone (deleted with\n"
         "prune = true on that printer). A printer whose paper (paper-width, or a virtual\n"
         "printer's own) is narrower than one of its logos is refused before anything is\n"
         "sent to it. Every printer ends with one line, whatever the others did:\n"
         "unchanged, stored KEYS (N NV writes, T s), refused: ... or failed: REASON.\n"
         "--only and --failed work on part of the fleet; the other printers' records in\n"
         "the state are kept as they are. --json and --report FILE.json follow\n"
         "docs/apply-report.schema.json (its \"version\" member says which layout).\n",
         {
             Flag("--plan", "ask and plan only: nothing is written, not even the state"),
             Integer("--jobs", "N", 1, 1024,
                     "printers worked on at once, 1 to 1024; 128 by default"),
             Flag("--json", "one JSON object: changed, nv_writes and each printer's result"),
             Text("--state", "FILE",
                  "the state file; MANIFEST.state.json beside the manifest by default (a second "
                  "apply waits for the first one's lock)",
                  ValueKind::File),
             Integer("--max-writes", "N", 0, 1000000,
                     "NV writes a printer may take a day, 10 by default; a printer that would "
                     "pass it is not written")
                 .Refusal("is a number of NV writes, 0 or more"),
             Text("--only", "NAME|ADDRESS",
                  "only the printers whose name or address matches, as a shell pattern "
                  "(\"till-*\", \"127.0.0.?\"); repeatable; a pattern that matches no printer "
                  "is an error")
                 .Repeatable(),
             Flag("--failed", "only the printers that failed or were refused in the last run "
                              "the state records; none: says so and exits 0"),
             Text("--report", "FILE",
                  "also write one row per printer to FILE, CSV (FILE.csv: name, address, serial, "
                  "result, keys stored, NV writes, seconds, reason, automatic logo and what became "
                  "of it) or JSON (FILE.json, as "
                  "--json prints)",
                  ValueKind::File),
         },
         "Exit status: 0 every printer matches the manifest; 1 wrong command line, or a\n"
         "manifest or state file with a fault (FILE:LINE:COLUMN: what, expected what);\n"
         "3 a printer failed or was refused (the others were still done), an automatic\n"
         "logo was sent where nothing confirmed it, a StarPRNT printer did not send a\n"
         "graphic back (sent, not verified), or the report could not be written.\n",
         {ValueKind::File}},
    };
    return specs;
}

enum class ReportKind { None, Csv, Json };

// The report's kind by FILE's extension; nothing for any other.
std::optional<ReportKind> ReportKindOf(const std::string& file) {
    std::string extension = std::filesystem::path(file).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".csv") {
        return ReportKind::Csv;
    }
    if (extension == ".json") {
        return ReportKind::Json;
    }
    return std::nullopt;
}

// One CSV field, quoted where it holds a comma, a quote or a line's end.
void AppendCsv(std::string& row, const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        row += field;
        return;
    }
    row += '"';
    for (const char c : field) {
        row += c;
        if (c == '"') {
            row += '"';
        }
    }
    row += '"';
}

std::string ReportCsv(const ApplyReport& report) {
    // Columns are only ever added at the end, so readers by position keep working.
    std::string csv = "name,address,serial,result,keys_stored,nv_writes,seconds,reason,auto_logo,"
                      "auto_logo_result\r\n";
    for (const PrinterResult& r : report.printers) {
        std::string keys;
        for (const std::string& key : r.stored) {
            keys += keys.empty() ? "" : " ";
            keys += key;
        }
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", r.seconds);
        const AutoLogoResult& a = r.autoLogo;
        const std::string fields[] = {r.name,
                                      r.address,
                                      r.serial,
                                      OutcomeName(r.outcome),
                                      keys,
                                      std::to_string(r.writes),
                                      seconds,
                                      r.reason,
                                      a.wanted ? DescribeAutoLogo(*a.wanted) : std::string(),
                                      a.wanted ? AutoLogoDoneName(a.done) : ""};
        for (size_t i = 0; i < std::size(fields); ++i) {
            csv += i == 0 ? "" : ",";
            AppendCsv(csv, fields[i]);
        }
        csv += "\r\n";
    }
    return csv;
}

} // namespace

const std::vector<CliCommand>& ApplyCommandSpecs() {
    return Specs();
}

int ApplyCommand(const std::vector<std::string>& args, const CliEnvironment& env, std::ostream& out,
                 std::ostream& err) {
    const std::string who = "tessaline-cli apply";
    if (WantsHelp(args)) {
        out << HelpText(Specs()[0]);
        return kExitDone;
    }
    const std::string usage = HelpText(Specs()[0]);
    const Result<ParsedOptions> parsed = ParseOptions(args, Specs()[0].options);
    if (!parsed) {
        err << who << ": " << parsed.Reason() << "\n" << usage;
        return kExitWrongUse;
    }
    const std::vector<std::string>& operands = parsed.Value().operands;
    if (operands.empty()) {
        err << who << ": needs MANIFEST\n" << usage;
        return kExitWrongUse;
    }
    if (operands.size() > 1) {
        err << who << ": one MANIFEST only, not also '" << operands[1] << "'\n" << usage;
        return kExitWrongUse;
    }
    const std::optional<std::string> manifestFile = operands[0];
    const std::string* stateFile = parsed.Value().Text("--state");
    ApplyOptions options;
    options.planOnly = parsed.Value().Has("--plan");
    options.jobs = static_cast<int>(parsed.Value().Int("--jobs").value_or(options.jobs));
    options.maxWrites = parsed.Value().Int("--max-writes").value_or(options.maxWrites);
    const bool json = parsed.Value().Has("--json");
    // A report that could not be written is refused before any printer is asked.
    const std::string* reportFile = parsed.Value().Text("--report");
    ReportKind reportKind = ReportKind::None;
    if (reportFile != nullptr) {
        const auto kind = ReportKindOf(*reportFile);
        if (!kind) {
            err << who << ": --report '" << *reportFile
                << "' is a .csv or a .json file (its extension chooses); nothing sent\n";
            return kExitWrongUse;
        }
        reportKind = *kind;
        const std::filesystem::path folder = std::filesystem::path(*reportFile).parent_path();
        std::error_code ec;
        if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
            err << who << ": --report '" << *reportFile << "': there is no folder "
                << folder.string() << "; nothing sent\n";
            return kExitWrongUse;
        }
    }
    const auto read = ReadManifest(*manifestFile);
    if (!read) {
        err << read.Reason() << "\n" << who << ": nothing sent\n";
        return kExitWrongUse;
    }
    for (const std::string& note : read.Value().notes) {
        err << note << "\n";
    }
    options.stateFile = stateFile ? std::filesystem::path(*stateFile)
                                  : std::filesystem::path(*manifestFile + ".state.json");
    PrinterSelection selection;
    selection.only = parsed.Value().All("--only");
    selection.failed = parsed.Value().Has("--failed");
    FleetState last;
    if (selection.failed) {
        // Read as a plan reads it: the state file is only ever replaced whole.
        auto state = ReadFleetState(options.stateFile);
        if (!state) {
            err << who << ": " << state.Reason() << "\n";
            return kExitWrongUse;
        }
        last = std::move(state.Value());
        selection.last = &last;
    }
    const auto manifest = SelectPrinters(read.Value(), selection);
    if (!manifest) {
        err << who << ": " << manifest.Reason() << "; nothing sent\n";
        return kExitWrongUse;
    }
    // Logos come as BMP, PNG, JPEG or GIF files, fitted as preview and upload fit them.
    UseSystemPictureDecoders();
    ShapedLogos shaped;
    std::mutex shaping;
    options.shapeLogo = [&](const ManifestLogo& logo, int32_t fit) {
        std::lock_guard<std::mutex> lock(shaping);
        ShapingChoice choice;
        choice.fit = fit;
        choice.dither = logo.dither;
        choice.threshold = logo.threshold;
        choice.brightness = logo.brightness;
        return shaped.Prepare(logo.file.string(), choice);
    };
    const auto spooler = MakeSpooler(env.systemQueues, env.dataHome);
    options.spooler = spooler.get();
    options.printerRecords = env.dataHome / kPrinterRecordsFolder;
    // Asked before the workers start, so they read only what is settled here.
    std::map<std::string, int32_t> ownPaper;
    for (const ManifestPrinter& p : manifest.Value().printers) {
        if (const auto widths = VirtualPrinterWidths(p.address, env)) {
            ownPaper[p.address] = widths->paper;
        }
        // A queue's kept width bounds it as a virtual printer's own does.
        if (!IsPrinterAddress(p.address)) {
            if (const auto kept = KeptPaperWidth(p.address); !kept) {
                err << who << ": " << kept.Reason() << "; it is not used\n";
            } else if (kept.Value()) {
                const auto own = ownPaper.find(p.address);
                ownPaper[p.address] =
                    own == ownPaper.end() ? *kept.Value() : std::min(own->second, *kept.Value());
            }
        }
    }
    options.paperWidthOf = [&ownPaper](const std::string& address) -> std::optional<int32_t> {
        const auto found = ownPaper.find(address);
        return found == ownPaper.end() ? std::nullopt : std::optional(found->second);
    };
    // Progress on a terminal only; a script or Ansible reads the lines alone.
    const bool terminal = &err == &std::cerr && StandardErrorIsTerminal();
    if (terminal) {
        options.progress = [&](size_t done, size_t total) {
            err << "\rapply: " << done << " of " << total << " printers done" << std::flush;
        };
    }
    Result<ApplyReport> report = ApplyReport{};
    if (manifest.Value().printers.empty()) {
        // Only --failed leaves none: --only names none that match nothing.
        err << who << ": no printer" << (selection.only.empty() ? "" : " --only picks")
            << " failed or was refused in its last run (" << options.stateFile.string()
            << "); nothing to do\n";
    } else {
        report = ApplyManifest(manifest.Value(), options);
    }
    if (terminal) {
        err << "\n";
    }
    if (!report) {
        err << who << ": " << report.Reason() << "\n";
        return kExitWrongUse;
    }
    if (json) {
        out << ReportJson(report.Value(), options.planOnly);
    } else {
        for (const PrinterResult& r : report.Value().printers) {
            out << r.name << ": " << ResultLine(r) << "\n";
        }
    }
    int status = report.Value().AllMatch() ? kExitDone : kExitNotTransmitted;
    if (reportKind != ReportKind::None) {
        const std::string text = reportKind == ReportKind::Csv
                                     ? ReportCsv(report.Value())
                                     : ReportJson(report.Value(), options.planOnly);
        if (const Result<void> written = ReplaceFileAtomically(*reportFile, text); !written) {
            err << who << ": " << written.Reason() << " (the report; every printer's line "
                << "stands)\n";
            status = kExitNotTransmitted;
        }
    }
    if (!report.Value().stateFailure.empty()) {
        // Every printer's line stands; what was done is not recorded.
        err << who << ": " << report.Value().stateFailure << "\n";
        return kExitNotTransmitted;
    }
    return status;
}

} // namespace tessaline
