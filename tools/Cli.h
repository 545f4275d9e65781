// SPDX-License-Identifier: MIT
#pragma once

#include "ControlCommands.h"

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessaline {

class SpoolerBackend;

// Where the command line finds its printers: the system's queues first, then
// the virtual printers under Tessaline's data folder (see MakeSpooler).
struct CliEnvironment {
    std::shared_ptr<SpoolerBackend> systemQueues; // MakeSystemQueues(); null: none
    std::filesystem::path dataHome;               // TessalineDataHome() normally
    ControlLibraries libraries;                   // for register and unregister
};

// Runs `tessaline-cli` with its arguments (without the program name); what a
// user should read goes to `out`, errors to `err`. Returns the exit status
// (kExitDone and the others below).
int RunCli(const std::vector<std::string>& args, const CliEnvironment& env, std::ostream& out,
           std::ostream& err);

// The texts that differ between the system's builds: the command list, the
// help of `printers`, and what to do when no printer is installed.
const char* CliUsage();
const char* PrintersUsage();
std::string NoPrintersAdvice(const std::string& printer);

// For a printer that is not installed: when a spooler could not be reached
// at all, says so on `err` after `who` and returns kExitNotTransmitted (the
// printer may be installed there); kExitNotInstalled otherwise, unsaid.
int NotInstalledExit(const CliEnvironment& env, const std::string& who, std::ostream& err);

// The `vprinter` commands' options and help (none where there are no virtual
// printers).
const std::vector<CliCommand>& VPrinterCommandSpecs();

// The `vprinter` commands; `args` start after the word "vprinter".
int RunVPrinter(const std::vector<std::string>& args, const CliEnvironment& env, std::ostream& out,
                std::ostream& err);

// What a virtual printer's own files say of its paper and of the widths of
// what its NV memory holds, read without sending it anything.
struct StoredWidths {
    int32_t paper = 0;
    // A Star printer prints what fits of a wider logo; ESC/POS prints nothing of it.
    bool clips = false;
    std::vector<int32_t> images;                           // NV bit image k: images[k - 1]
    std::vector<std::pair<std::string, int32_t>> graphics; // NV graphics: key, width
};
// Nothing for a name that is no virtual printer, one whose settings are
// damaged, or one a system queue of the same name stands before.
std::optional<StoredWidths> VirtualPrinterWidths(const std::string& printer,
                                                 const CliEnvironment& env);

// The `queue` commands (CUPS queues of the backend tessaline); `args` start
// after the word "queue".
int RunQueue(const std::vector<std::string>& args, const CliEnvironment& env, std::ostream& out,
             std::ostream& err);
// queue add, remove and list, for their parser, the manual and the completions.
const std::vector<CliCommand>& QueueCommandSpecs();

// The exit statuses of tessaline-cli's commands, as every --help states them.
inline constexpr int kExitDone = 0;
inline constexpr int kExitWrongUse = 1;       // a wrong command line, or input that cannot be read
inline constexpr int kExitNotInstalled = 2;   // the printer is not installed
inline constexpr int kExitNotTransmitted = 3; // the request was not transmitted or carried out
inline constexpr int kExitQueued = 4;         // the spooler holds the whole job, not printed yet
inline constexpr const char* kExitStatusHelp =
    "\n"
    "Exit status: 0 done; 1 wrong command line or unreadable input; 2 the printer is\n"
    "not installed; 3 the request was not carried out (the message says why); 4\n"
    "queued, not printed yet (the job waits in the spooler's queue).\n";

// Every command with its options, as the help, manual and completions show them.
std::vector<CliCommand> AllCliCommands();

// `printer`, or for a bare IPv4 address with or without a port ("10.1.0.5",
// "10.1.0.5:9101") the socket address it stands for, said once on `err`.
std::string AsPrinterAddress(const std::string& printer, std::ostream& err);

// "--help" or "-h" anywhere among the arguments.
bool WantsHelp(const std::vector<std::string>& args);

} // namespace tessaline
