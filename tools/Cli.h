#pragma once

#include "ControlCommands.h"

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace tessaline {

class SpoolerBackend;

// Where the command line finds its printers: CUPS queues first, then the
// virtual printers under Tessaline's data folder.
struct CliEnvironment {
    std::shared_ptr<SpoolerBackend> cups; // may be null: no CUPS queues then
    std::filesystem::path dataHome;       // TessalineDataHome() normally
    ControlLibraries libraries;           // for register and unregister
};

// Runs `tessaline-cli` with its arguments (without the program name); what a
// user should read goes to `out`, errors to `err`. Returns the exit status:
// 0 done, 1 the operation failed, 2 the command line was wrong.
int RunCli(const std::vector<std::string>& args, const CliEnvironment& env, std::ostream& out,
           std::ostream& err);

// The `vprinter` commands; `args` start after the word "vprinter".
int RunVPrinter(const std::vector<std::string>& args, const CliEnvironment& env, std::ostream& out,
                std::ostream& err);

inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// "--help" or "-h" anywhere among the arguments.
bool WantsHelp(const std::vector<std::string>& args);

} // namespace tessaline
