// SPDX-License-Identifier: MIT
// Asks a printer reached by its address what state it is in, who made it and
// what its NV graphics memory holds. The spooler carries bytes one way only,
// so a printer known by its queue name cannot be asked.
#include "StatusCommand.h"

#include "Cli.h"
#include "PaperWidth.h"
#include "ProfilesCommand.h"
#include "base/JsonText.h"
#include "platform/PrinterCommandsFile.h"
#include "platform/PrinterNvRecords.h"
#include "platform/SystemSpooler.h"
#include "printer/PrinterProfiles.h"
#include "printer/PrinterReport.h"

#include <algorithm>
#include <optional>
#include <ostream>

namespace tessaline {

namespace {

// Whether the printer is ready and why not, from whichever status it speaks.
struct Readiness {
    bool answered = false;
    bool ready = false;
    std::vector<std::string> conditions;
};

Readiness ReadinessOf(const PrinterStatus& status) {
    return {status.Answered(), status.Ready(), status.Conditions()};
}

const std::vector<CliCommand>& Specs() {
    static const std::vector<CliCommand> specs = {
        {"status",
         "ask a printer reached by its address whether it is ready",
         "Usage: tessaline-cli status PRINTER [--json] [--connect-timeout MS]\n"
         "                            [--read-timeout MS]\n",
         "Asks the printer at the address PRINTER (socket://HOST[:PORT], usb:///dev/usb/lpN,\n"
         "serial://PORT?baud=N) whether it is ready and why not (off-line, cover open,\n"
         "paper end, paper near end, cutter error, unrecoverable error), its maker,\n"
         "model, firmware and serial number, the paper width it is set for, and the size and free "
         "bytes of its NV\n"
         "graphics memory; and says which questions got no answer (a one-way device,\n"
         "an older model). A printer known only by its spooler queue cannot be asked.\n"
         "A Star printer (one kept as star-line or star-prnt, or whose model answered\n"
         "before is one) is asked its automatic status and its version instead.\n",
         {Flag("--json", "one JSON object instead of text"), ConnectTimeoutOption(),
          ReadTimeoutOption()},
         "Exit status: 0 the printer is ready; 1 wrong command line or a malformed\n"
         "address; 2 no such spooler printer; 3 the printer is not ready, answers\n"
         "nothing, or cannot be reached (the message says why).\n",
         {ValueKind::Printer}},
    };
    return specs;
}

void PrintText(const std::string& address, const PrinterReport& r, const Readiness& state,
               std::ostream& out) {
    auto line = [&out](const char* label, const std::optional<std::string>& value) {
        if (value) {
            out << label << *value << '\n';
        }
    };
    out << "Printer:        " << address << '\n';
    if (!state.answered) {
        out << "Ready:          unknown: it answered no status question\n";
    } else {
        std::string why;
        for (const std::string& c : state.conditions) {
            why += (why.empty() ? "" : ", ") + c;
        }
        out << "Ready:          " << (state.ready ? "yes" : "no")
            << (why.empty() ? "" : " (" + why + ")") << '\n';
    }
    line("Maker:          ", r.maker);
    line("Model:          ", r.model);
    const PrinterProfile* profile = ProfileOf(r);
    if (r.model) {
        out << "Profile:        "
            << (profile != nullptr ? ProfileLabel(*profile)
                                   : std::string("none matches ('tessaline-cli profiles' lists "
                                                 "the known models)"))
            << '\n';
    }
    if (const KnownPaper paper = KnownPaperOf(r.paperMillimetres, profile); paper.dots) {
        out << "Paper width:    " << *paper.dots << " dots (" << paper.from << ")\n";
    } else {
        out << "Paper width:    unknown\n";
    }
    line("Firmware:       ", r.firmware);
    line("Serial number:  ", r.serialNumber);
    line("Code page:      ", r.codePage);
    if (r.nvGraphicsTotal) {
        out << "NV graphics:    " << *r.nvGraphicsTotal << " bytes";
        if (r.nvGraphicsFree) {
            out << ", " << *r.nvGraphicsFree << " free";
        }
        out << '\n';
    }
    if (!r.unanswered.empty()) {
        out << "No answer to:   ";
        for (size_t i = 0; i < r.unanswered.size(); ++i) {
            out << (i == 0 ? "" : ", ") << r.unanswered[i];
        }
        out << '\n';
    }
}

void PrintJson(const std::string& address, const PrinterReport* r, const Readiness& state,
               const std::string& error, std::ostream& out) {
    out << "{\"printer\": " << Json(address);
    if (r == nullptr) {
        out << ", \"error\": " << Json(error) << "}\n";
        return;
    }
    out << ", \"answered\": " << (state.answered ? "true" : "false")
        << ", \"ready\": " << (state.ready ? "true" : "false")
        << ", \"conditions\": " << JsonList(state.conditions) << ", \"maker\": " << JsonOr(r->maker)
        << ", \"model\": " << JsonOr(r->model) << ", \"firmware\": " << JsonOr(r->firmware)
        << ", \"serialNumber\": " << JsonOr(r->serialNumber)
        << ", \"codePage\": " << JsonOr(r->codePage)
        << ", \"nvGraphicsTotal\": " << JsonOr(r->nvGraphicsTotal)
        << ", \"nvGraphicsFree\": " << JsonOr(r->nvGraphicsFree)
        << ", \"unanswered\": " << JsonList(r->unanswered);
    const PrinterProfile* profile = ProfileOf(*r);
    const KnownPaper paper = KnownPaperOf(r->paperMillimetres, profile);
    out << ", \"profile\": " << (profile != nullptr ? Json(profile->id) : std::string("null"))
        << ", \"paperWidth\": " << JsonOr(paper.dots)
        << ", \"paperWidthFrom\": " << Json(paper.from) << "}\n";
}

} // namespace

const std::vector<CliCommand>& StatusCommandSpecs() {
    return Specs();
}

int StatusCommand(const std::vector<std::string>& args, const CliEnvironment& env,
                  std::ostream& out, std::ostream& err) {
    const std::string usageText = HelpText(Specs()[0]);
    if (WantsHelp(args)) {
        out << usageText;
        return kExitDone;
    }
    auto usage = [&err, &usageText](const std::string& why) {
        err << "tessaline-cli status: " << why << "\n" << usageText;
        return kExitWrongUse;
    };
    const Result<ParsedOptions> parsed = ParseOptions(args, Specs()[0].options);
    if (!parsed) {
        return usage(parsed.Reason());
    }
    const std::vector<std::string>& operands = parsed.Value().operands;
    if (operands.size() > 1) {
        return usage("one PRINTER at a time");
    }
    const std::string printer =
        operands.empty() ? std::string() : AsPrinterAddress(operands[0], err);
    const bool json = parsed.Value().Has("--json");
    const std::optional<int64_t> connect = parsed.Value().Int("--connect-timeout");
    const std::optional<int64_t> read = parsed.Value().Int("--read-timeout");
    if (printer.empty()) {
        return usage("missing PRINTER");
    }
    if (!IsPrinterAddress(printer)) {
        const QueueList list = MakeSpooler(env.systemQueues, env.dataHome)->ListQueues();
        if (std::find(list.names.begin(), list.names.end(), printer) == list.names.end()) {
            if (!list.reached) {
                err << "tessaline-cli status: " << list.reached.Reason() << "\n";
                return kExitNotTransmitted;
            }
            err << "tessaline-cli status: the printer \"" << printer << "\" is not installed\n";
            return kExitNotInstalled;
        }
        err << "tessaline-cli status: \"" << printer
            << "\" is a spooler queue, which carries bytes one way: it cannot be asked; give "
               "the printer's address (socket://HOST, usb:///dev/usb/lpN, serial://PORT)\n";
        return kExitNotTransmitted;
    }
    Result<PrinterAddress> address = ParsePrinterAddress(printer);
    if (address && (connect || read)) {
        address = ParsePrinterAddress(WithTimeouts(
            printer,
            std::chrono::milliseconds(connect.value_or(address.Value().connectTimeout.count())),
            std::chrono::milliseconds(read.value_or(address.Value().readTimeout.count()))));
    }
    if (!address) {
        if (json) {
            PrintJson(printer, nullptr, {}, address.Reason(), out);
        }
        err << "tessaline-cli status: " << address.Reason() << "\n";
        return kExitWrongUse;
    }
    // A printer kept as a Star one, or whose recorded model is one, is asked
    // as one. Any other is asked ESC/POS only: one that is silent may be an
    // ESC/POS printer busy writing, which Star's questions would reach as a job.
    const auto language = KeptPrinterCommands(PrinterCommandsFile(), printer);
    const PrinterProfile* recorded = RecordedProfile(printer, env);
    const bool star = (language && language.Value() && language.Value()->rfind("star-", 0) == 0) ||
                      (recorded != nullptr && (recorded->commands == ProfileCommands::StarLine ||
                                               recorded->commands == ProfileCommands::StarPrnt));
    Result<std::unique_ptr<PrinterConnection>> connection = ConnectPrinter(address.Value());
    Result<PrinterReport> report = Result<PrinterReport>::FailAs(connection);
    Readiness state;
    if (connection && !star) {
        report = AskPrinter(*connection.Value());
        if (report) {
            state = ReadinessOf(report.Value().status);
        }
    } else if (connection) {
        const Result<StarReport> asked = AskStarPrinter(*connection.Value());
        report = asked ? Result<PrinterReport>(StarAsPrinterReport(asked.Value()))
                       : Result<PrinterReport>::FailAs(asked);
        if (asked && asked.Value().status) {
            state = {true, asked.Value().status->Ready(), asked.Value().status->Conditions()};
        }
    }
    // Nothing was sent to a device that cannot answer: a file stays as it was.
    if (connection && connection.Value()->CanAnswer()) {
        static_cast<void>(connection.Value()->Finish());
    }
    if (!report) {
        if (json) {
            PrintJson(printer, nullptr, {}, report.Reason(), out);
        }
        err << "tessaline-cli status: " << report.Reason() << "\n";
        return kExitNotTransmitted;
    }
    const PrinterReport& r = report.Value();
    if (r.model || r.paperMillimetres) {
        // What answered here is what its profile and paper are found by next
        // time, when a logo is stored or printed without asking.
        const std::string model = !r.model ? "" : r.maker ? *r.maker + " " + *r.model : *r.model;
        if (Result<void> kept =
                PrinterNvRecords(env.dataHome / kPrinterRecordsFolder)
                    .Remember(printer, model, r.serialNumber.value_or(""), r.paperMillimetres);
            !kept) {
            err << "tessaline-cli status: " << kept.Reason() << "\n";
        }
    }
    if (json) {
        PrintJson(printer, &r, state, {}, out);
    } else {
        PrintText(printer, r, state, out);
    }
    if (!state.answered) {
        err << "tessaline-cli status: " << printer << ": no answer within "
            << address.Value().readTimeout.count()
            << " ms (a one-way device, or one busy or switched off)\n";
        return kExitNotTransmitted;
    }
    return state.ready ? kExitDone : kExitNotTransmitted;
}

} // namespace tessaline
