// SPDX-License-Identifier: MIT
// Finds the receipt printers of networks and USB ports: fleet/ asks them;
// this reads the command line and prints one line a device.
#include "DiscoverCommand.h"

#include "Cli.h"
#include "base/JsonText.h"
#include "fleet/Discovery.h"
#include "platform/AtomicFile.h"
#include "platform/NetworkRange.h"
#include "platform/connection/LocalNetworks.h"

#include <cstdlib>
#include <ostream>

namespace tessaline {

namespace {

// The widest of the machine's own networks scanned unnamed: 1022 addresses.

const std::vector<CliCommand>& Specs() {
    static const std::vector<CliCommand> specs = {
        {"discover",
         "find the receipt printers on a network and tell what each one is",
         "Usage: tessaline-cli discover [NETWORK...] [--port N] [--timeout MS] [--jobs N]\n"
         "                              [--json] [--manifest FILE]\n",
         "Connects to port 9100 of every address of each NETWORK (an IPv4 or IPv6\n"
         "address, a block such as 10.1.0.0/24, a range such as 10.1.0.20-10.1.0.60,\n"
         "at most 65536 addresses each; usb for the USB printers), many at once, and\n"
         "asks each printer that answers its status, maker, model, serial number and NV\n"
         "graphics memory. Without NETWORK: the machine's own IPv4 networks (up to a /22\n"
         "each; a larger one must be named) and its USB printer-class devices, whose\n"
         "IEEE 1284 device ID is read too. One line a device, in address order:\n"
         "address, maker and model, serial number, ready or why not, command set\n"
         "(nv-graphics, nv-bit-images, star-line, star-prnt or unknown), paper width and\n"
         "where it came from, NV free bytes; \"answers nothing\" for a port that opens and\n"
         "stays silent, \"not a receipt printer\" for one that answers something else.\n",
         {Integer("--port", "N", 1, 65535, "the TCP port, 9100 by default"),
          Integer("--timeout", "MS", 1, 60000,
                  "how long each kind of question waits for its answer, 800 ms by default"),
          Integer("--jobs", "N", 1, 4096, "connections open at once, 256 by default"),
          Flag("--json", "one JSON object with a printers array instead of text"),
          Text("--manifest", "FILE",
               "write a manifest for apply naming every printer found (never over an existing "
               "file)",
               ValueKind::File)},
         "Exit status: 0 at least one printer answered; 1 wrong command line, a malformed\n"
         "or too large network, or a manifest file that is already there; 3 no printer\n"
         "answered.\n",
         {ValueKind::Text},
         true},
    };
    return specs;
}

std::string FoundText(Found found) {
    switch (found) {
    case Found::Printer:
        return "printer";
    case Found::Silent:
        return "answers nothing";
    case Found::NotAPrinter:
        return "not a receipt printer";
    case Found::Unopened:
        return "cannot be opened";
    }
    return {};
}

std::string ReadyText(const DiscoveredPrinter& p) {
    if (!p.ready) {
        return "ready unknown";
    }
    std::string why;
    for (const std::string& c : p.conditions) {
        why += (why.empty() ? "" : ", ") + c;
    }
    return std::string(*p.ready ? "ready" : "not ready") + (why.empty() ? "" : " (" + why + ")");
}

std::string Line(const DiscoveredPrinter& p) {
    std::string line = p.address;
    if (p.found == Found::Silent) {
        return line + "  answers nothing";
    }
    if (p.found == Found::NotAPrinter) {
        return line + "  not a receipt printer (" + p.problem + ")";
    }
    std::string name = p.maker.value_or("");
    if (p.model) {
        name += (name.empty() ? "" : " ") + *p.model;
    }
    line += "  " + (name.empty() ? std::string("maker and model unknown") : name);
    if (!p.profile.empty()) {
        line += " [" + p.profile + "]";
    }
    line += "  serial " + p.serialNumber.value_or("unknown");
    if (p.found == Found::Unopened) {
        return line + "  " + p.problem;
    }
    line += "  " + ReadyText(p) + "  " + p.commands;
    line += p.paperWidth
                ? "  paper " + std::to_string(*p.paperWidth) + " dots (" + p.paperWidthFrom + ")"
                : std::string("  paper unknown");
    line += "  NV free " + (p.nvFree ? std::to_string(*p.nvFree) + " bytes" : "unknown");
    return line;
}

void PrintJson(const std::vector<DiscoveredPrinter>& printers, std::ostream& out) {
    out << "{\"printers\": [";
    for (size_t i = 0; i < printers.size(); ++i) {
        const DiscoveredPrinter& p = printers[i];
        out << (i == 0 ? "" : ", ") << "{\"address\": " << Json(p.address)
            << ", \"found\": " << Json(FoundText(p.found)) << ", \"maker\": " << JsonOr(p.maker)
            << ", \"model\": " << JsonOr(p.model)
            << ", \"serialNumber\": " << JsonOr(p.serialNumber)
            << ", \"firmware\": " << JsonOr(p.firmware) << ", \"ready\": " << JsonOr(p.ready)
            << ", \"conditions\": " << JsonList(p.conditions)
            << ", \"commands\": " << Json(p.commands)
            << ", \"paperWidth\": " << JsonOr(p.paperWidth)
            << ", \"paperWidthFrom\": " << Json(p.paperWidthFrom)
            << ", \"nvFree\": " << JsonOr(p.nvFree)
            << ", \"profile\": " << (p.profile.empty() ? "null" : Json(p.profile))
            << ", \"problem\": " << (p.problem.empty() ? "null" : Json(p.problem)) << "}";
    }
    out << "]}\n";
}

std::filesystem::path EnvPath(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

} // namespace

const std::vector<CliCommand>& DiscoverCommandSpecs() {
    return Specs();
}

int DiscoverCommand(const std::vector<std::string>& args, const CliEnvironment&, std::ostream& out,
                    std::ostream& err) {
    const std::string usageText = HelpText(Specs()[0]);
    if (WantsHelp(args)) {
        out << usageText;
        return kExitDone;
    }
    const Result<ParsedOptions> parsed = ParseOptions(args, Specs()[0].options);
    if (!parsed) {
        err << "tessaline-cli discover: " << parsed.Reason() << "\n" << usageText;
        return kExitWrongUse;
    }
    const ParsedOptions& options = parsed.Value();
    DiscoveryOptions discovery;
    discovery.port = static_cast<uint16_t>(options.Int("--port").value_or(discovery.port));
    discovery.answerTimeout = std::chrono::milliseconds(
        options.Int("--timeout").value_or(discovery.answerTimeout.count()));
    discovery.jobs = static_cast<size_t>(options.Int("--jobs").value_or(256));
    if (const size_t allowed = ConnectionsAtOnce(); discovery.jobs > allowed) {
        err << "tessaline-cli discover: the system lets this process open " << allowed
            << " connections at once; --jobs " << discovery.jobs << " taken as " << allowed << "\n";
        discovery.jobs = allowed;
    }
    const std::string* manifest = options.Text("--manifest");
    std::error_code ec;
    if (manifest != nullptr && std::filesystem::symlink_status(*manifest, ec).type() !=
                                   std::filesystem::file_type::not_found) {
        err << "tessaline-cli discover: " << *manifest
            << ": is already there; discover writes a new manifest only\n";
        return kExitWrongUse;
    }

    std::vector<std::string> networks = options.operands;
    bool usb = false;
    if (networks.empty()) {
        usb = true;
        for (const LocalNetwork& own : LocalIpv4Networks()) {
            if (own.prefixLength < kWidestOwnNetwork) {
                err << "tessaline-cli discover: " << own.interfaceName << "'s network " << own.block
                    << " is larger than a /" << kWidestOwnNetwork
                    << ": name it, or a part of it, to scan it\n";
                continue;
            }
            networks.push_back(own.block);
        }
    }
    std::vector<IpAddress> addresses;
    for (const std::string& network : networks) {
        if (network == "usb") {
            usb = true;
            continue;
        }
        const Result<NetworkRange> range = ParseNetwork(network);
        if (!range) {
            err << "tessaline-cli discover: " << range.Reason() << "\n";
            return kExitWrongUse;
        }
        const std::vector<IpAddress> more = RangeAddresses(range.Value());
        addresses.insert(addresses.end(), more.begin(), more.end());
    }

    std::vector<DiscoveredPrinter> found = DiscoverNetwork(addresses, discovery);
    if (usb) {
        std::vector<DiscoveredPrinter> devices =
            DiscoverUsb(EnvPath("TESSALINE_SYSFS_ROOT", "/sys"),
                        EnvPath("TESSALINE_DEV_ROOT", "/dev"), discovery);
        found.insert(found.end(), devices.begin(), devices.end());
    }
    if (options.Has("--json")) {
        PrintJson(found, out);
    } else {
        for (const DiscoveredPrinter& p : found) {
            out << Line(p) << '\n';
        }
    }
    const bool anyPrinter = std::any_of(found.begin(), found.end(), [](const DiscoveredPrinter& p) {
        return p.found == Found::Printer;
    });
    if (manifest != nullptr && anyPrinter) {
        if (const Result<void> wrote = ReplaceFileAtomically(*manifest, DiscoveryManifest(found));
            !wrote) {
            err << "tessaline-cli discover: " << wrote.Reason() << "\n";
            return kExitNotTransmitted;
        }
    }
    if (!anyPrinter) {
        err << "tessaline-cli discover: no printer answered"
            << (addresses.empty() ? "" : " at " + std::to_string(addresses.size()) + " addresses")
            << (manifest != nullptr ? "; no manifest written" : "") << "\n";
        return kExitNotTransmitted;
    }
    return kExitDone;
}

} // namespace tessaline
