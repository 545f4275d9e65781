// SPDX-License-Identifier: MIT
// Each address is asked on a worker of its own, up to `jobs` at once, with
// the same connection and questions `status` uses; a worker's time goes to
// waiting, so a network's silent addresses cost one connect timeout together,
// not one each.
#include "fleet/Discovery.h"

#include "platform/FileIo.h"
#include "platform/Ieee1284Id.h"
#include "platform/PrinterAddress.h"
#include "platform/connection/PrinterConnection.h"
#include "printer/PrinterProfiles.h"
#include "printer/PrinterReport.h"
#include "printer/StarStatus.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <system_error>
#include <thread>

namespace tessaline {

namespace {

// More bytes than a printer's own status broadcasts between questions: the
// peer speaks something else.
constexpr size_t kMaxStrayBytes = 8;

// Waits up to the read timeout for what `reader` looks for; nothing when it
// did not come, or the connection failed.
template <typename Reader>
auto AskStar(PrinterConnection& connection, const std::vector<uint8_t>& request, Reader& reader)
    -> decltype(reader.Reply()) {
    if (!connection.Send(request)) {
        return {};
    }
    decltype(reader.Reply()) reply;
    const Result<bool> whole = ReceiveReply(connection, [&](std::span<const uint8_t> bytes) {
        reader.Feed(bytes);
        reply = reader.Reply();
        return reply.has_value();
    });
    return whole && whole.Value() ? reply : decltype(reply)();
}

// A printer that answers no ESC/POS status may be a Star printer: its
// automatic status, then its version text ("TSP143IIIW Ver1.0").
bool AskAsStar(PrinterConnection& connection, DiscoveredPrinter& printer) {
    StarStatusReader statusReader;
    const auto status = AskStar(connection, StarStatusRequest(), statusReader);
    if (!status) {
        return false;
    }
    printer.ready = status->Ready();
    printer.conditions = status->Conditions();
    StarVersionReader versionReader;
    if (const auto version = AskStar(connection, StarVersionRequest(), versionReader)) {
        const size_t space = version->find(' ');
        printer.model = version->substr(0, space);
        if (space != std::string::npos) {
            printer.firmware = version->substr(space + 1);
        }
        // Only StarPRNT models name the command set in their version text.
        printer.commands = version->find("PRNT") != std::string::npos ? "star-prnt" : "star-line";
    } else {
        printer.commands = "star-line";
    }
    printer.maker = "Star";
    return true;
}

// Asks the printer on an open connection what it is.
void Identify(PrinterConnection& connection, DiscoveredPrinter& printer) {
    const Result<PrinterReport> asked = AskPrinter(connection, Patience::EachKind);
    if (!asked) {
        printer.found = Found::Silent;
        printer.problem = asked.Reason();
        return;
    }
    const PrinterReport& r = asked.Value();
    if (r.strayBytes > kMaxStrayBytes || (!r.status.Answered() && r.strayBytes > 0)) {
        printer.found = Found::NotAPrinter;
        printer.problem = std::to_string(r.strayBytes) + " bytes that answer no printer question";
        return;
    }
    if (!r.status.Answered()) {
        if (!AskAsStar(connection, printer)) {
            printer.found = Found::Silent;
        }
        return;
    }
    printer.found = Found::Printer;
    printer.ready = r.status.Ready();
    printer.conditions = r.status.Conditions();
    printer.maker = r.maker;
    printer.model = r.model;
    printer.serialNumber = r.serialNumber;
    printer.firmware = r.firmware;
    printer.nvFree = r.nvGraphicsFree;
    printer.paperMillimetres = r.paperMillimetres;
    // A printer that answers GS ( L keeps NV graphics; one that answers only
    // the ESC/POS questions is taken to keep FS q bit images, as apply's
    // "auto" does.
    printer.commands = r.nvGraphicsTotal || r.nvGraphicsFree ? "nv-graphics" : "nv-bit-images";
}

// What the profile of the model it named adds: the paper's width where the
// printer did not tell it, the dots of the roll it did, and the command set
// where the answers did not tell it (a one-way device).
void AddProfile(DiscoveredPrinter& printer) {
    const auto match =
        printer.model ? MatchProfile(printer.maker.value_or(""), *printer.model) : std::nullopt;
    const PrinterProfile* profile = match ? match->profile : nullptr;
    if (!printer.paperWidth) {
        const KnownPaper paper = KnownPaperOf(printer.paperMillimetres, profile);
        printer.paperWidth = paper.dots;
        printer.paperWidthFrom = paper.from;
    }
    if (profile == nullptr) {
        return;
    }
    printer.profile = profile->id;
    if (printer.commands == "unknown" && profile->commands != ProfileCommands::Unknown) {
        printer.commands = ProfileCommandsName(profile->commands);
    }
}

std::string SocketUrl(const IpAddress& address, uint16_t port) {
    return "socket://" + address.UrlHost() + ":" + std::to_string(port);
}

std::string Timeouts(const DiscoveryOptions& options) {
    return "?connect-timeout=" + std::to_string(options.connectTimeout.count()) +
           "&read-timeout=" + std::to_string(options.answerTimeout.count());
}

std::string TomlString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

} // namespace

std::vector<DiscoveredPrinter> DiscoverNetwork(const std::vector<IpAddress>& given,
                                               const DiscoveryOptions& options) {
    std::vector<IpAddress> addresses = given;
    std::sort(addresses.begin(), addresses.end());
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
    std::vector<std::optional<DiscoveredPrinter>> slots(addresses.size());
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i = next++; i < addresses.size(); i = next++) {
            const std::string url = SocketUrl(addresses[i], options.port);
            const Result<PrinterAddress> address = ParsePrinterAddress(url + Timeouts(options));
            if (!address) {
                continue;
            }
            Result<std::unique_ptr<PrinterConnection>> connection = ConnectPrinter(address.Value());
            if (!connection) {
                continue; // nothing listens there
            }
            DiscoveredPrinter printer;
            printer.address = url;
            Identify(*connection.Value(), printer);
            slots[i] = std::move(printer);
            // Only questions went out: the connection is dropped, not finished.
        }
    };
    const size_t workers =
        std::clamp<size_t>(options.jobs, 1, std::max<size_t>(addresses.size(), 1));
    std::vector<std::thread> pool;
    pool.reserve(workers);
    for (size_t w = 0; w < workers; ++w) {
        try {
            pool.emplace_back(work);
        } catch (const std::system_error&) {
            break; // the system gives no more threads: the ones started share the work
        }
    }
    if (pool.empty()) {
        work();
    }
    for (std::thread& t : pool) {
        t.join();
    }
    std::vector<DiscoveredPrinter> out;
    for (std::optional<DiscoveredPrinter>& slot : slots) {
        if (slot) {
            AddProfile(*slot);
            out.push_back(std::move(*slot));
        }
    }
    return out;
}

std::vector<DiscoveredPrinter> DiscoverUsb(const std::filesystem::path& sysRoot,
                                           const std::filesystem::path& devRoot,
                                           const DiscoveryOptions& options) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry :
         std::filesystem::directory_iterator(sysRoot / "class" / "usbmisc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("lp", 0) == 0) {
            names.push_back(name);
        }
    }
    // lp2 before lp10.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    std::vector<DiscoveredPrinter> out;
    for (const std::string& name : names) {
        DiscoveredPrinter printer;
        const std::filesystem::path node = devRoot / "usb" / name;
        printer.address = "usb://" + node.generic_string();
        const auto text = ReadFileIfPresent(
            sysRoot / "class" / "usbmisc" / name / "device" / "ieee1284_id", kMaxIeee1284Id + 8);
        std::optional<Ieee1284Id> id;
        if (text && text.Value()) {
            const std::string& bytes = *text.Value();
            const auto parsed = ParseIeee1284Id(std::span<const uint8_t>(
                reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
            if (parsed) {
                id = parsed.Value();
                printer.maker = id->maker;
                printer.model = id->model;
                printer.serialNumber = id->serialNumber;
                if (id->commands && id->commands->find("STAR") != std::string::npos) {
                    printer.commands =
                        id->commands->find("PRNT") != std::string::npos ? "star-prnt" : "star-line";
                }
            }
        }
        const Result<PrinterAddress> address =
            ParsePrinterAddress(printer.address + Timeouts(options));
        Result<std::unique_ptr<PrinterConnection>> connection =
            address ? ConnectPrinter(address.Value())
                    : Result<std::unique_ptr<PrinterConnection>>::FailAs(address);
        if (!connection) {
            printer.found = Found::Unopened;
            printer.problem = connection.Reason();
            // The line starts with the address already.
            if (address && printer.problem.rfind(address.Value().text + ": ", 0) == 0) {
                printer.problem.erase(0, address.Value().text.size() + 2);
            }
            AddProfile(printer);
            out.push_back(std::move(printer));
            continue;
        }
        DiscoveredPrinter asked = printer;
        Identify(*connection.Value(), asked);
        // What the device ID says stands where the printer did not answer.
        asked.maker = asked.maker ? asked.maker : printer.maker;
        asked.model = asked.model ? asked.model : printer.model;
        asked.serialNumber = asked.serialNumber ? asked.serialNumber : printer.serialNumber;
        if (asked.found == Found::Silent && id) {
            asked.found = Found::Printer; // a one-way device that told its ID
        }
        AddProfile(asked);
        out.push_back(std::move(asked));
    }
    return out;
}

std::string DiscoveredName(const DiscoveredPrinter& printer) {
    std::string name = printer.model.value_or("");
    if (printer.serialNumber) {
        name += (name.empty() ? "" : " ") + *printer.serialNumber;
    }
    return name.empty() ? printer.address : name;
}

std::string DiscoveryManifest(const std::vector<DiscoveredPrinter>& printers) {
    std::string out = "# The printers `tessaline-cli discover` found. Name the logos each one\n"
                      "# should hold, then run `tessaline-cli apply --plan` on this file.\n"
                      "#\n"
                      "# [logos.header]\n"
                      "# file = \"logos/header.bmp\"\n";
    for (const DiscoveredPrinter& p : printers) {
        if (p.found != Found::Printer) {
            continue;
        }
        out += "\n[[printers]]\nname = " + TomlString(DiscoveredName(p)) +
               "\naddress = " + TomlString(p.address) + "\n";
        if (p.commands != "unknown") {
            out += "commands = " + TomlString(p.commands) + "\n";
        } else {
            out += "# commands: " + p.commands + "\n";
        }
        if (p.paperWidth) {
            out += "paper-width = " + std::to_string(*p.paperWidth);
            out += p.paperWidthFrom == "answered" ? "  # answered by the printer\n"
                                                  : "  # from its model's profile\n";
        }
        out += p.commands == "nv-bit-images" || p.commands == "star-line"
                   ? "# logos = { \"1\" = \"header\" }\n"
                   : "# logos = { \"A1\" = \"header\" }\n";
        out += "logos = {}\n";
    }
    return out;
}

} // namespace tessaline
