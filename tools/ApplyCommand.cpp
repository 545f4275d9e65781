// SPDX-License-Identifier: MIT
// A fleet of printers from one manifest: fleet/ does the work; this reads the
// command line, shows progress and prints one line per printer.
#include "ApplyCommand.h"

#include "Cli.h"
#include "ShapedLogos.h"
#include "fleet/Apply.h"
#include "platform/HostSystem.h"
#include "platform/SystemSpooler.h"
#include "platform/pictures/PictureDecoders.h"

#include <charconv>
#include <iostream>
#include <mutex>
#include <optional>

namespace tessaline {

namespace {

constexpr const char* kApplyUsage =
    "Usage: tessaline-cli apply MANIFEST [--plan] [--jobs N] [--json] [--state FILE]\n"
    "                           [--max-writes N]\n"
    "\n"
    "Makes every printer of MANIFEST (TOML: [defaults], [logos.NAME] and\n"
    "[[printers]]; see tessaline-cli(1)) hold the logos it names, writing only what\n"
    "differs: each printer is asked for its status, serial number, NV graphics key\n"
    "list and free memory, its plan worked out against the state file, and each key\n"
    "stored checked in the key list afterwards. NV bit image printers\n"
    "(commands = \"nv-bit-images\") get one FS q upload of all their logos when any\n"
    "changed. Keys the manifest does not name are left alone (deleted with\n"
    "prune = true on that printer). Every printer ends with one line: unchanged,\n"
    "stored KEYS (N NV writes, T s), refused: ... or failed: REASON.\n"
    "\n"
    "  --plan            ask and plan only: nothing is written, not even the state\n"
    "  --jobs N          printers worked on at once, 1 to 1024; 128 by default\n"
    "  --json            one JSON object: changed, nv_writes and each printer's result\n"
    "  --state FILE      the state file; MANIFEST.state.json beside the manifest by\n"
    "                    default (a second apply waits for the first one's lock)\n"
    "  --max-writes N    NV writes a printer may take a day, 10 by default; a printer\n"
    "                    that would pass it is not written\n"
    "\n"
    "Exit status: 0 every printer matches the manifest; 1 wrong command line, or a\n"
    "manifest or state file with a fault (FILE:LINE:COLUMN: what, expected what);\n"
    "3 a printer failed or was refused (the others were still done).\n";

} // namespace

int ApplyCommand(const std::vector<std::string>& args, const CliEnvironment& env, std::ostream& out,
                 std::ostream& err) {
    const std::string who = "tessaline-cli apply";
    if (WantsHelp(args)) {
        out << kApplyUsage;
        return kExitDone;
    }
    std::optional<std::string> manifestFile, stateFile;
    ApplyOptions options;
    bool json = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takesValue = a == "--jobs" || a == "--state" || a == "--max-writes";
        if (takesValue && i + 1 >= args.size()) {
            err << who << ": " << a << " needs a value\n" << kApplyUsage;
            return kExitWrongUse;
        }
        if (a == "--plan") {
            options.planOnly = true;
        } else if (a == "--json") {
            json = true;
        } else if (a == "--jobs") {
            const auto n = Number(args[++i], 1, 1024);
            if (!n) {
                err << who << ": --jobs is 1 to 1024, not '" << args[i] << "'\n";
                return kExitWrongUse;
            }
            options.jobs = static_cast<int>(*n);
        } else if (a == "--max-writes") {
            const auto n = Number(args[++i], 0, 1000000);
            if (!n) {
                err << who << ": --max-writes is a number of NV writes, 0 or more, not '" << args[i]
                    << "'\n";
                return kExitWrongUse;
            }
            options.maxWrites = *n;
        } else if (a == "--state") {
            stateFile = args[++i];
        } else if (a.rfind("--", 0) == 0 && a.size() > 2) {
            err << who << ": unknown option '" << a << "'\n" << kApplyUsage;
            return kExitWrongUse;
        } else if (manifestFile) {
            err << who << ": one MANIFEST only, not also '" << a << "'\n" << kApplyUsage;
            return kExitWrongUse;
        } else {
            manifestFile = a;
        }
    }
    if (!manifestFile) {
        err << who << ": needs MANIFEST\n" << kApplyUsage;
        return kExitWrongUse;
    }
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
    return report.Value().AllMatch() ? kExitDone : kExitNotTransmitted;
}

} // namespace tessaline
