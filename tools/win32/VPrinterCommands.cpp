// SPDX-License-Identifier: MIT
// The vprinter commands of tessaline-cli.exe: virtual printers draw their
// pictures with libpng, which the Windows build has not; print to a printer
// of the Windows print spooler instead.
#include "Cli.h"

#include <ostream>

namespace tessaline {

const std::vector<CliCommand>& VPrinterCommandSpecs() {
    static const std::vector<CliCommand> none;
    return none;
}

// CUPS queues that play the driver's part are Linux's; the Windows driver
// plays it there.
const std::vector<CliCommand>& QueueCommandSpecs() {
    static const std::vector<CliCommand> none;
    return none;
}

std::optional<StoredWidths> VirtualPrinterWidths(const std::string&, const CliEnvironment&) {
    return std::nullopt;
}

int RunVPrinter(const std::vector<std::string>& args, const CliEnvironment&, std::ostream& out,
                std::ostream& err) {
    constexpr const char* kUsage =
        "Usage: tessaline-cli vprinter ...\n"
        "\n"
        "Virtual printers are not available on Windows: print to a printer of the\n"
        "Windows print spooler instead ('tessaline-cli printers' lists them).\n";
    if (WantsHelp(args)) {
        out << kUsage << kExitStatusHelp;
        return kExitDone;
    }
    err << "tessaline-cli vprinter: virtual printers are not available on Windows\n" << kUsage;
    return kExitWrongUse;
}

int RunQueue(const std::vector<std::string>& args, const CliEnvironment&, std::ostream& out,
             std::ostream& err) {
    constexpr const char* kUsage =
        "Usage: tessaline-cli queue ...\n"
        "\n"
        "CUPS queues are not available on Windows: the printer's own Windows driver\n"
        "prints the driver record's logo commands with every job.\n";
    if (WantsHelp(args)) {
        out << kUsage << kExitStatusHelp;
        return kExitDone;
    }
    err << "tessaline-cli queue: CUPS queues are not available on Windows\n" << kUsage;
    return kExitWrongUse;
}

} // namespace tessaline
