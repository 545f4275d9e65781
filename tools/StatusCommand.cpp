// SPDX-License-Identifier: MIT
// Asks a printer reached by its address what state it is in, who made it and
// what its NV graphics memory holds. The spooler carries bytes one way only,
// so a printer known by its queue name cannot be asked.
#include "StatusCommand.h"

#include "Cli.h"
#include "base/JsonText.h"
#include "platform/SystemSpooler.h"
#include "printer/PrinterReport.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <ostream>

namespace tessaline {

namespace {

constexpr const char* kStatusUsage =
    "Usage: tessaline-cli status PRINTER [--json] [--connect-timeout MS]\n"
    "                            [--read-timeout MS]\n"
    "\n"
    "Asks the printer at the address PRINTER (socket://HOST[:PORT], usb:///dev/usb/lpN,\n"
    "serial://PORT?baud=N) whether it is ready and why not (off-line, cover open,\n"
    "paper end, paper near end, cutter error, unrecoverable error), its maker,\n"
    "model, firmware and serial number, and the size and free bytes of its NV\n"
    "graphics memory; and says which questions got no answer (a one-way device,\n"
    "an older model). A printer known only by its spooler queue cannot be asked.\n"
    "\n"
    "  --json                 one JSON object instead of text\n"
    "  --connect-timeout MS   how long to wait for the connection, 3000 by default\n"
    "  --read-timeout MS      how long to wait for each answer, 1000 by default\n"
    "\n"
    "Exit status: 0 the printer is ready; 1 wrong command line or a malformed\n"
    "address; 2 no such spooler printer; 3 the printer is not ready, answers\n"
    "nothing, or cannot be reached (the message says why).\n";

std::string JsonList(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        out += (i == 0 ? "" : ", ") + Json(items[i]);
    }
    return out + "]";
}

template <typename T> std::string JsonOr(const std::optional<T>& value) {
    if (!value) {
        return "null";
    }
    if constexpr (std::is_same_v<T, std::string>) {
        return Json(*value);
    } else {
        return std::to_string(*value);
    }
}

void PrintText(const std::string& address, const PrinterReport& r, std::ostream& out) {
    auto line = [&out](const char* label, const std::optional<std::string>& value) {
        if (value) {
            out << label << *value << '\n';
        }
    };
    out << "Printer:        " << address << '\n';
    if (!r.status.Answered()) {
        out << "Ready:          unknown: it answered no status question\n";
    } else {
        const std::vector<std::string> conditions = r.status.Conditions();
        std::string why;
        for (const std::string& c : conditions) {
            why += (why.empty() ? "" : ", ") + c;
        }
        out << "Ready:          " << (r.status.Ready() ? "yes" : "no")
            << (why.empty() ? "" : " (" + why + ")") << '\n';
    }
    line("Maker:          ", r.maker);
    line("Model:          ", r.model);
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

void PrintJson(const std::string& address, const PrinterReport* r, const std::string& error,
               std::ostream& out) {
    out << "{\"printer\": " << Json(address);
    if (r == nullptr) {
        out << ", \"error\": " << Json(error) << "}\n";
        return;
    }
    out << ", \"answered\": " << (r->status.Answered() ? "true" : "false")
        << ", \"ready\": " << (r->status.Ready() ? "true" : "false")
        << ", \"conditions\": " << JsonList(r->status.Conditions())
        << ", \"maker\": " << JsonOr(r->maker) << ", \"model\": " << JsonOr(r->model)
        << ", \"firmware\": " << JsonOr(r->firmware)
        << ", \"serialNumber\": " << JsonOr(r->serialNumber)
        << ", \"codePage\": " << JsonOr(r->codePage)
        << ", \"nvGraphicsTotal\": " << JsonOr(r->nvGraphicsTotal)
        << ", \"nvGraphicsFree\": " << JsonOr(r->nvGraphicsFree)
        << ", \"unanswered\": " << JsonList(r->unanswered) << "}\n";
}

std::optional<int64_t> Millis(const std::string& text) {
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 1 ||
        value > 3600000) {
        return std::nullopt;
    }
    return value;
}

} // namespace

int StatusCommand(const std::vector<std::string>& args, const CliEnvironment& env,
                  std::ostream& out, std::ostream& err) {
    if (WantsHelp(args)) {
        out << kStatusUsage;
        return kExitDone;
    }
    auto usage = [&err](const std::string& why) {
        err << "tessaline-cli status: " << why << "\n" << kStatusUsage;
        return kExitWrongUse;
    };
    std::string printer;
    bool json = false;
    std::optional<int64_t> connect, read;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            json = true;
        } else if (a == "--connect-timeout" || a == "--read-timeout") {
            if (i + 1 >= args.size()) {
                return usage(a + " needs a number of milliseconds");
            }
            const auto ms = Millis(args[++i]);
            if (!ms) {
                return usage(a + " is 1 to 3600000 milliseconds, not '" + args[i] + "'");
            }
            (a == "--connect-timeout" ? connect : read) = ms;
        } else if (a.rfind("--", 0) == 0) {
            return usage("unknown option '" + a + "'");
        } else if (!printer.empty()) {
            return usage("one PRINTER at a time");
        } else {
            printer = a;
        }
    }
    if (printer.empty()) {
        return usage("missing PRINTER");
    }
    if (!IsPrinterAddress(printer)) {
        const QueueList list = MakeSpooler(env.systemQueues, env.dataHome)->ListQueues();
        if (std::find(list.names.begin(), list.names.end(), printer) == list.names.end()) {
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
            PrintJson(printer, nullptr, address.Reason(), out);
        }
        err << "tessaline-cli status: " << address.Reason() << "\n";
        return kExitWrongUse;
    }
    Result<std::unique_ptr<PrinterConnection>> connection = ConnectPrinter(address.Value());
    Result<PrinterReport> report = connection ? AskPrinter(*connection.Value())
                                              : Result<PrinterReport>::Fail(connection.Reason());
    // Nothing was sent to a device that cannot answer: a file stays as it was.
    if (connection && connection.Value()->CanAnswer()) {
        static_cast<void>(connection.Value()->Finish());
    }
    if (!report) {
        if (json) {
            PrintJson(printer, nullptr, report.Reason(), out);
        }
        err << "tessaline-cli status: " << report.Reason() << "\n";
        return kExitNotTransmitted;
    }
    const PrinterReport& r = report.Value();
    if (json) {
        PrintJson(printer, &r, {}, out);
    } else {
        PrintText(printer, r, out);
    }
    if (!r.status.Answered()) {
        err << "tessaline-cli status: " << printer << ": no answer within "
            << address.Value().readTimeout.count()
            << " ms (a one-way device, or one busy or switched off)\n";
        return kExitNotTransmitted;
    }
    return r.status.Ready() ? kExitDone : kExitNotTransmitted;
}

} // namespace tessaline
