// SPDX-License-Identifier: MIT
#include "Cli.h"

#include "ApplyCommand.h"
#include "Completions.h"
#include "DiscoverCommand.h"
#include "NvCommand.h"
#include "PaperWidth.h"
#include "ProfilesCommand.h"
#include "StatusCommand.h"
#include "base/BuildVersion.h"
#include "platform/PrinterAddress.h"
#include "platform/PrinterCommandsFile.h"
#include "platform/SystemSpooler.h"

#include <algorithm>
#include <ostream>

namespace tessaline {

namespace {

std::vector<Option> PrintersOptions() {
    return {Flag("--long", "each printer with its paper width in dots (- where not known) and "
                           "the command language it takes, tab-separated"),
            SetPaperWidthOption(),
            Flag("--clear-paper-width", "forget the paper width kept for QUEUE")};
}

// printers --set-paper-width DOTS QUEUE, --clear-paper-width QUEUE.
int KeepPaperWidth(const ParsedOptions& parsed, const CliEnvironment& env, std::ostream& out,
                   std::ostream& err) {
    const std::string who = "tessaline-cli printers";
    const std::string* dots = parsed.Text("--set-paper-width");
    if ((dots != nullptr && parsed.Has("--clear-paper-width")) || parsed.Has("--long")) {
        err << who << ": give one of --long, --set-paper-width and --clear-paper-width\n"
            << PrintersUsage();
        return kExitWrongUse;
    }
    const std::string option = dots != nullptr ? "--set-paper-width" : "--clear-paper-width";
    if (parsed.operands.size() != 1) {
        err << who << ": " << option << " needs one QUEUE\n" << PrintersUsage();
        return kExitWrongUse;
    }
    const std::string& queue = parsed.operands[0];
    if (IsPrinterAddress(queue)) {
        err << who << ": " << queue
            << " is an address, not a queue; give --paper-width to the command that sends to it\n";
        return kExitWrongUse;
    }
    const std::filesystem::path file = PrinterPaperFile();
    if (dots == nullptr) {
        const auto kept = KeptPrinterValue(file, queue);
        if (!kept) {
            err << who << ": " << kept.Reason() << "\n";
            return kExitNotTransmitted;
        }
        if (!kept.Value()) {
            out << "no paper width is kept for \"" << queue << "\"\n";
            return kExitDone;
        }
        if (const Result<void> cleared = KeepPrinterValue(file, queue, ""); !cleared) {
            err << who << ": " << cleared.Reason() << "\n";
            return kExitNotTransmitted;
        }
        out << "forgot the paper width of \"" << queue << "\" (" << *kept.Value() << ")\n";
        return kExitDone;
    }
    // A name mistyped would keep a width no command ever looks up.
    const QueueList list = MakeSpooler(env.systemQueues, env.dataHome)->ListQueues();
    if (std::find(list.names.begin(), list.names.end(), queue) == list.names.end()) {
        err << who << ": the printer \"" << queue << "\" is not installed\n";
        return NotInstalledExit(env, who, err);
    }
    const int32_t width = PaperDots(*dots).value_or(0);
    if (const Result<void> kept = KeepPrinterValue(file, queue, std::to_string(width)); !kept) {
        err << who << ": " << kept.Reason() << "\n";
        return kExitNotTransmitted;
    }
    out << "kept " << width << " dots as the paper width of \"" << queue << "\"\n";
    return kExitDone;
}

// One line of printers --long: NAME, paper width, command language.
void LongLine(const std::string& name, const CliEnvironment& env, std::ostream& out,
              std::ostream& err) {
    std::optional<int32_t> paper;
    if (const auto kept = KeptPaperWidth(name); !kept) {
        err << "tessaline-cli printers: " << kept.Reason() << "\n";
    } else {
        paper = kept.Value();
    }
    if (const auto widths = VirtualPrinterWidths(name, env)) {
        paper = std::min(paper.value_or(widths->paper), widths->paper);
    }
    std::string commands = "esc-pos";
    if (const auto kept = KeptPrinterCommands(PrinterCommandsFile(), name); !kept) {
        err << "tessaline-cli printers: " << kept.Reason() << "\n";
    } else if (kept.Value()) {
        commands = *kept.Value();
    }
    out << name << '\t' << (paper ? std::to_string(*paper) : "-") << '\t' << commands << '\n';
}

int Printers(const std::vector<std::string>& args, const CliEnvironment& env, std::ostream& out,
             std::ostream& err) {
    if (WantsHelp(args)) {
        out << PrintersUsage() << "\n" << OptionsHelp(PrintersOptions()) << kExitStatusHelp;
        return kExitDone;
    }
    const Result<ParsedOptions> options = ParseOptions(args, PrintersOptions());
    if (!options) {
        err << "tessaline-cli printers: " << options.Reason() << "\n" << PrintersUsage();
        return kExitWrongUse;
    }
    const ParsedOptions& parsed = options.Value();
    if (parsed.Has("--set-paper-width") || parsed.Has("--clear-paper-width")) {
        return KeepPaperWidth(parsed, env, out, err);
    }
    if (!parsed.operands.empty()) {
        err << "tessaline-cli printers: unexpected argument '" << parsed.operands[0] << "'\n"
            << PrintersUsage();
        return kExitWrongUse;
    }
    const bool wide = parsed.Has("--long");
    const QueueList list = MakeSpooler(env.systemQueues, env.dataHome)->ListQueues();
    for (const std::string& name : list.names) {
        if (wide) {
            LongLine(name, env, out, err);
        } else {
            out << name << '\n';
        }
    }
    if (!list.reached) {
        err << "tessaline-cli printers: " << list.reached.Reason()
            << "; only the other printers are listed\n";
        return kExitNotTransmitted;
    }
    if (!list.status) {
        err << "tessaline-cli printers: the spooler refused to list some printers; "
               "the list is incomplete\n";
        return kExitNotTransmitted;
    }
    return kExitDone;
}

int Completion(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const char* usage = "Usage: tessaline-cli completion bash|zsh|fish|man\n"
                        "\n"
                        "Writes the shell's completion script for tessaline-cli: commands,\n"
                        "options and their values, and printer names asked for live; man\n"
                        "writes the man page's OPTIONS section from the same tables.\n";
    if (WantsHelp(args)) {
        out << usage << kExitStatusHelp;
        return kExitDone;
    }
    const std::string script =
        args.size() == 1 ? CompletionScript(args[0], AllCliCommands()) : std::string();
    if (script.empty()) {
        err << "tessaline-cli completion: give bash, zsh, fish or man\n" << usage;
        return kExitWrongUse;
    }
    out << script;
    return kExitDone;
}

} // namespace

int NotInstalledExit(const CliEnvironment& env, const std::string& who, std::ostream& err) {
    const QueueList list = MakeSpooler(env.systemQueues, env.dataHome)->ListQueues();
    if (list.reached) {
        return kExitNotInstalled;
    }
    err << who << ": " << list.reached.Reason() << "\n";
    return kExitNotTransmitted;
}

std::vector<CliCommand> AllCliCommands() {
    std::vector<CliCommand> all = {
        {"printers",
         "list every installed printer, or keep a queue's paper width",
         "",
         "",
         PrintersOptions(),
         "",
         {ValueKind::Printer}},
        {"completion", "write a shell's completion script", "", "", {}, "", {ValueKind::Text}},
    };
    for (const std::vector<CliCommand>* part :
         {&StatusCommandSpecs(), &DiscoverCommandSpecs(), &ProfilesCommandSpecs(),
          &NvCommandSpecs(), &ApplyCommandSpecs(), &VPrinterCommandSpecs(),
          &ControlCommandSpecs()}) {
        all.insert(all.end(), part->begin(), part->end());
    }
    return all;
}

std::string AsPrinterAddress(const std::string& printer, std::ostream& err) {
    const std::string address = BareAddressAsSocket(printer);
    if (address.empty()) {
        return printer;
    }
    err << "tessaline-cli: taking " << printer << " as " << address << "\n";
    return address;
}

bool WantsHelp(const std::vector<std::string>& args) {
    return std::any_of(args.begin(), args.end(),
                       [](const std::string& a) { return a == "--help" || a == "-h"; });
}

int RunCli(const std::vector<std::string>& args, const CliEnvironment& env, std::ostream& out,
           std::ostream& err) {
    if (args.empty()) {
        err << CliUsage();
        return kExitWrongUse;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        out << CliUsage() << kExitStatusHelp;
        return kExitDone;
    }
    if (args[0] == "--version") {
        out << VersionLine("tessaline-cli") << "\n";
        return kExitDone;
    }
    if (args[0] == "completion") {
        return Completion(rest, out, err);
    }
    if (args[0] == "printers") {
        return Printers(rest, env, out, err);
    }
    if (args[0] == "status") {
        return StatusCommand(rest, env, out, err);
    }
    if (args[0] == "discover") {
        return DiscoverCommand(rest, env, out, err);
    }
    if (args[0] == "profiles") {
        return ProfilesCommand(rest, out, err);
    }
    if (args[0] == "apply") {
        return ApplyCommand(rest, env, out, err);
    }
    if (args[0] == "nv") {
        return NvCommand(rest, env, out, err);
    }
    if (args[0] == "queue") {
        return RunQueue(rest, env, out, err);
    }
    if (args[0] == "vprinter") {
        return RunVPrinter(rest, env, out, err);
    }
    if (IsControlCommand(args[0])) {
        return RunControlCommand(args[0], rest, env, out, err);
    }
    err << "tessaline-cli: unknown command '" << args[0] << "'\n" << CliUsage();
    return kExitWrongUse;
}

} // namespace tessaline
