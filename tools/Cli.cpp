// SPDX-License-Identifier: MIT
#include "Cli.h"

#include "ApplyCommand.h"
#include "NvCommand.h"
#include "StatusCommand.h"
#include "platform/SystemSpooler.h"

#include <algorithm>
#include <charconv>
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
    if (!list.status) {
        err << "tessaline-cli printers: the spooler refused to list some printers; "
               "the list is incomplete\n";
        return kExitNotTransmitted;
    }
    return kExitDone;
}

} // namespace

std::optional<int64_t> Number(const std::string& text, int64_t low, int64_t high) {
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < low ||
        value > high) {
        return std::nullopt;
    }
    return value;
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
    if (args[0] == "printers") {
        return Printers(rest, env, out, err);
    }
    if (args[0] == "status") {
        return StatusCommand(rest, env, out, err);
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
