#include "Cli.h"

#include "NvCommand.h"
#include "StatusCommand.h"
#include "platform/SystemSpooler.h"

#include <algorithm>
#include <ostream>

namespace tessaline {

namespace {

constexpr const char* kUsage =
    "Usage: tessaline-cli COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  printers    list every installed printer: CUPS queues, then virtual printers\n"
    "  vprinter    add, remove, inspect, feed and serve virtual printers\n"
    "  status      ask a printer reached by its address whether it is ready\n"
    "  nv          store, list, print and delete NV graphics by key\n"
    "\n"
    "Through the Tessaline control, as the program calls it:\n"
    "  register    register the control library (unregister removes it)\n"
    "  info        a bitmap's depth and size\n"
    "  preview     convert a logo and write its one-bit preview\n"
    "  upload      store logos in a printer's NV memory\n"
    "  print       print stored NV images\n"
    "  erase       erase a printer's NV memory\n"
    "  describe    the control's type library\n"
    "\n"
    "Run 'tessaline-cli COMMAND --help' for a command's own help.\n";

constexpr const char* kPrintersUsage =
    "Usage: tessaline-cli printers\n"
    "\n"
    "Lists every installed printer name the spooler offers, one a line: the CUPS\n"
    "queues first, in the server's order, then the virtual printers in the order\n"
    "they were added.\n";

int Printers(const std::vector<std::string>& args, const CliEnvironment& env, std::ostream& out,
             std::ostream& err) {
    if (WantsHelp(args)) {
        out << kPrintersUsage << kExitStatusHelp;
        return kExitDone;
    }
    if (!args.empty()) {
        err << "tessaline-cli printers: unexpected argument '" << args[0] << "'\n"
            << kPrintersUsage;
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

bool WantsHelp(const std::vector<std::string>& args) {
    return std::any_of(args.begin(), args.end(),
                       [](const std::string& a) { return a == "--help" || a == "-h"; });
}

int RunCli(const std::vector<std::string>& args, const CliEnvironment& env, std::ostream& out,
           std::ostream& err) {
    if (args.empty()) {
        err << kUsage;
        return kExitWrongUse;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        out << kUsage << kExitStatusHelp;
        return kExitDone;
    }
    if (args[0] == "printers") {
        return Printers(rest, env, out, err);
    }
    if (args[0] == "status") {
        return StatusCommand(rest, env, out, err);
    }
    if (args[0] == "nv") {
        return NvCommand(rest, env, out, err);
    }
    if (args[0] == "vprinter") {
        return RunVPrinter(rest, env, out, err);
    }
    if (IsControlCommand(args[0])) {
        return RunControlCommand(args[0], rest, env, out, err);
    }
    err << "tessaline-cli: unknown command '" << args[0] << "'\n" << kUsage;
    return kExitWrongUse;
}

} // namespace tessaline
