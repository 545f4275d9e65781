// SPDX-License-Identifier: MIT
#include "Cli.h"

#include "ApplyCommand.h"
#include "Completions.h"
#include "DiscoverCommand.h"
#include "NvCommand.h"
#include "ProfilesCommand.h"
#include "StatusCommand.h"
#include "base/BuildVersion.h"
#include "platform/SystemSpooler.h"

#include <algorithm>
#include <ostream>

namespace tessaline {

namespace {

int Printers(const std::vector<std::string>& args, const CliEnvironment& env, std::ostream& out,
             std::ostream& err) {
    if (WantsHelp(args)) {
        out << PrintersUsage() << kExitStatusHelp;
        return kExitDone;
    }
    if (!args.empty()) {
        err << "tessaline-cli printers: unexpected argument '" << args[0] << "'\n"
            << PrintersUsage();
        return kExitWrongUse;
    }
    const QueueList list = MakeSpooler(env.systemQueues, env.dataHome)->ListQueues();
    for (const std::string& name : list.names) {
        out << name << '\n';
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
    const char* usage = "Usage: tessaline-cli completion bash|zsh|fish\n"
                        "\n"
                        "Writes the shell's completion script for tessaline-cli: commands,\n"
                        "options and their values, and printer names asked for live.\n";
    if (WantsHelp(args)) {
        out << usage << kExitStatusHelp;
        return kExitDone;
    }
    const std::string script =
        args.size() == 1 ? CompletionScript(args[0], AllCliCommands()) : std::string();
    if (script.empty()) {
        err << "tessaline-cli completion: give bash, zsh or fish\n" << usage;
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
        {"printers", "list every installed printer", "", "", {}, "", {}},
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
    const std::size_t colon = printer.find(':');
    const std::string host = printer.substr(0, colon);
    int parts = 0;
    std::size_t at = 0;
    while (at <= host.size()) {
        const std::size_t dot = std::min(host.find('.', at), host.size());
        if (!Number(host.substr(at, dot - at), 0, 255) || dot - at > 3) {
            return printer;
        }
        ++parts;
        at = dot + 1;
    }
    if (parts != 4 ||
        (colon != std::string::npos && !Number(printer.substr(colon + 1), 1, 65535))) {
        return printer;
    }
    const std::string address = "socket://" + printer + (colon == std::string::npos ? ":9100" : "");
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
