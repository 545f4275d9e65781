// SPDX-License-Identifier: MIT
// A fleet of printers from one manifest: fleet/ does the work; this reads the
// command line, shows progress and prints one line per printer.
#include "ApplyCommand.h"

#include "Cli.h"
#include "PaperWidth.h"
#include "ShapedLogos.h"
#include "fleet/Apply.h"
#include "platform/HostSystem.h"
#include "platform/PrinterAddress.h"
#include "platform/PrinterNvRecords.h"
#include "platform/SystemSpooler.h"
#include "platform/pictures/PictureDecoders.h"

#include <algorithm>
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
         "                           [--max-writes N]\n",
         "Makes every printer of MANIFEST (TOML: [defaults], [logos.NAME] and\n"
         "[[printers]]; see tessaline-cli(1)) hold the logos it names, writing only what\n"
         "differs: each printer is asked for its status, serial number, NV graphics key\n"
         "list and free memory, its plan worked out against the state file, and each key\n"
         "stored checked in the key list afterwards. NV bit image printers\n"
         "(commands = \"nv-bit-images\") get one FS q upload of all their logos when any\n"
         "changed. Keys the manifest does not name are left alone (deleted with\n"
         "prune = true on that printer). A printer whose paper (paper-width, or a virtual\n"
         "printer's own) is narrower than one of its logos is refused before anything is\n"
         "sent to it. Every printer ends with one line: unchanged,\n"
         "stored KEYS (N NV writes, T s), refused: ... or failed: REASON.\n",
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
         },
         "Exit status: 0 every printer matches the manifest; 1 wrong command line, or a\n"
         "manifest or state file with a fault (FILE:LINE:COLUMN: what, expected what);\n"
         "3 a printer failed or was refused (the others were still done).\n",
         {ValueKind::File}},
    };
    return specs;
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
    const auto manifest = ReadManifest(*manifestFile);
    if (!manifest) {
        err << manifest.Reason() << "\n" << who << ": nothing sent\n";
        return kExitWrongUse;
    }
    options.stateFile = stateFile ? std::filesystem::path(*stateFile)
                                  : std::filesystem::path(*manifestFile + ".state.json");
    // Logos come as BMP, PNG, JPEG or GIF files, fitted as preview and upload fit them.
    UseSystemPictureDecoders();
    ShapedLogos shaped;
    std::mutex shaping;
    options.fitLogo = [&](const std::string& file, int32_t fit) {
        std::lock_guard<std::mutex> lock(shaping);
        ShapingChoice choice;
        choice.fit = fit;
        return shaped.Prepare(file, choice);
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
    const auto report = ApplyManifest(manifest.Value(), options);
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
    if (!report.Value().stateFailure.empty()) {
        // Every printer's line stands; what was done is not recorded.
        err << who << ": " << report.Value().stateFailure << "\n";
        return kExitNotTransmitted;
    }
    return report.Value().AllMatch() ? kExitDone : kExitNotTransmitted;
}

} // namespace tessaline
