// SPDX-License-Identifier: MIT
// `tessaline-cli queue`: CUPS queues that play the driver's part, so that
// every receipt sent to them gets the logo an upload switched on.
#include "Cli.h"
#include "Options.h"
#include "platform/PrinterAddress.h"
#include "platform/cups/CupsQueues.h"

#include <ostream>

namespace tessaline {

namespace {

constexpr const char* kQueueUsage =
    "Usage: tessaline-cli queue add NAME ADDRESS [--description TEXT]\n"
    "       tessaline-cli queue remove NAME\n"
    "       tessaline-cli queue list\n"
    "\n"
    "A CUPS queue that plays the part of the printer's Windows driver: a raw queue\n"
    "(no filter) of the backend tessaline, device URI tessaline:ADDRESS, ADDRESS any\n"
    "printer address (socket://HOST[:PORT], usb:///dev/usb/lpN, serial://PORT,\n"
    "file:///PATH). After an upload through it every job sent to it gets the\n"
    "stored logo at its start and before its last cut, as that driver prints it;\n"
    "after an erase, none. Its driver record is kept in CUPS's folder\n"
    "(/etc/cups/tessaline/NAME/), which only those who may administer CUPS may\n"
    "change. Adding and removing need that right too; CUPS's words say why not.\n";

} // namespace

const std::vector<CliCommand>& QueueCommandSpecs() {
    static const std::vector<CliCommand> specs = {
        {"queue add",
         "add a CUPS queue that gives every receipt the stored logo",
         "",
         "",
         {Text("--description", "TEXT", "the queue's description, as CUPS shows it")},
         "",
         {ValueKind::Text, ValueKind::Printer}},
        {"queue remove", "remove such a queue", "", "", {}, "", {ValueKind::Printer}},
        {"queue list",
         "the queues of the backend tessaline and their addresses",
         "",
         "",
         {},
         "",
         {}},
    };
    return specs;
}

int RunQueue(const std::vector<std::string>& args, const CliEnvironment&, std::ostream& out,
             std::ostream& err) {
    const std::string who = "tessaline-cli queue";
    if (WantsHelp(args)) {
        out << kQueueUsage << kExitStatusHelp;
        return kExitDone;
    }
    if (args.empty()) {
        err << kQueueUsage;
        return kExitWrongUse;
    }
    const std::string& what = args[0];
    const CliCommand* spec = nullptr;
    for (const CliCommand& candidate : QueueCommandSpecs()) {
        if (candidate.words == "queue " + what) {
            spec = &candidate;
        }
    }
    if (spec == nullptr) {
        err << who << ": unknown command '" << what << "'\n" << kQueueUsage;
        return kExitWrongUse;
    }
    const auto parsed =
        ParseOptions(std::vector<std::string>(args.begin() + 1, args.end()), spec->options);
    if (!parsed) {
        err << who << " " << what << ": " << parsed.Reason() << "\n" << kQueueUsage;
        return kExitWrongUse;
    }
    const std::vector<std::string>& words = parsed.Value().operands;
    const std::string* given = parsed.Value().Text("--description");
    const std::string description = given != nullptr ? *given : std::string();
    if (what == "add") {
        if (words.size() != 2) {
            err << who << " add: needs NAME ADDRESS\n" << kQueueUsage;
            return kExitWrongUse;
        }
        if (const auto address = ParsePrinterAddress(words[1]); !address) {
            err << who << " add: " << address.Reason() << "\n";
            return kExitWrongUse;
        }
        if (const auto added = AddTessalineQueue(words[0], words[1], description); !added) {
            err << who << " add: " << added.Reason() << "\n";
            return kExitNotTransmitted;
        }
        out << "added " << words[0] << " (tessaline:" << words[1] << ")\n";
        return kExitDone;
    }
    if (what == "remove") {
        if (words.size() != 1) {
            err << who << " remove: needs NAME\n" << kQueueUsage;
            return kExitWrongUse;
        }
        if (const auto removed = RemoveTessalineQueue(words[0]); !removed) {
            err << who << " remove: " << removed.Reason() << "\n";
            return kExitNotTransmitted;
        }
        out << "removed " << words[0] << "\n";
        return kExitDone;
    }
    if (words.empty()) {
        const auto queues = ListTessalineQueues();
        if (!queues) {
            err << who << " list: " << queues.Reason() << "\n";
            return kExitNotTransmitted;
        }
        for (const TessalineQueue& queue : queues.Value()) {
            out << queue.name << "\t" << queue.address
                << (queue.description.empty() ? "" : "\t" + queue.description) << "\n";
        }
        return kExitDone;
    }
    err << who << " list: takes no argument\n" << kQueueUsage;
    return kExitWrongUse;
}

} // namespace tessaline
