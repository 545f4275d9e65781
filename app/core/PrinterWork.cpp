// SPDX-License-Identifier: MIT
#include "app/core/PrinterWork.h"

#include "platform/PrinterAddress.h"
#include "platform/PrinterCommandsFile.h"
#include "platform/PrinterNvRecords.h"
#include "platform/Spooler.h"
#include "platform/UserFolders.h"
#include "platform/connection/PrinterConnection.h"
#include "printer/AutoLogoSteps.h"
#include "printer/DriverConfig.h"
#include "printer/GraphicSteps.h"
#include "printer/PrinterProfiles.h"

namespace tessaline {

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kGs = 0x1D;
constexpr uint8_t kLf = 0x0A;

// One byte at a time: g++ 12 at -O3 warns (-Wstringop-overflow) about inserting a list.
void Append(std::vector<uint8_t>& out, std::initializer_list<uint8_t> bytes) {
    for (const uint8_t byte : bytes) {
        out.push_back(byte);
    }
}

void Line(std::vector<uint8_t>& out, const std::string& text) {
    for (const char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        out.push_back(byte >= 0x20 && byte < 0x7F ? byte : static_cast<uint8_t>('?'));
    }
    out.push_back(kLf);
}

// GS ( k pL pH cn fn parameters, cn 49: the QR code functions.
void QrFunction(std::vector<uint8_t>& out, uint8_t fn, std::span<const uint8_t> parameters) {
    const std::size_t count = parameters.size() + 2;
    Append(out, {kGs, '(', 'k', static_cast<uint8_t>(count & 0xFF),
                 static_cast<uint8_t>((count >> 8) & 0xFF), 49, fn});
    out.insert(out.end(), parameters.begin(), parameters.end());
}

// The language `address` is kept as, else the one its recorded model's
// profile gives; ESC/POS when neither says.
LogoLanguage KnownLogoLanguage(const std::string& address) {
    if (const auto kept = KeptPrinterCommands(PrinterCommandsFile(), address);
        kept && kept.Value()) {
        if (const auto language = ParseLogoCommands(*kept.Value())) {
            return *language;
        }
    }
    const auto record = PrinterNvRecords(TessalineDataHome() / kPrinterRecordsFolder).Read(address);
    if (record && record.Value() && !record.Value()->model.empty()) {
        if (const auto match = MatchProfile({}, record.Value()->model)) {
            if (match->profile->commands == ProfileCommands::StarLine) {
                return LogoLanguage::StarLine;
            }
            if (match->profile->commands == ProfileCommands::StarPrnt) {
                return LogoLanguage::StarPrnt;
            }
        }
    }
    return LogoLanguage::EscPos;
}

// A Star printer's status and version; for StarPRNT its graphics' keys.
void AskStarFacts(PrinterConnection& link, const PrinterChoice& choice, PrinterFacts& facts) {
    auto star = AskStarPrinter(link);
    static_cast<void>(link.Finish());
    if (!star) {
        facts.failure = star.Reason();
        return;
    }
    facts.report = StarAsPrinterReport(star.Value());
    facts.starStatus = star.Value().status;
    if (!facts.starStatus) {
        facts.failure = choice.name + ": no answer to Star's automatic status within " +
                        std::to_string(link.Address().readTimeout.count()) +
                        " ms (a one-way device, or one busy or switched off)";
        return;
    }
    if (facts.commands == LogoLanguage::StarPrnt) {
        const Spooler none;
        const GraphicOutcome listed =
            ListGraphicsStep(GraphicsPrinter{none, choice.name, {}, {}, {}, facts.commands});
        if (listed.result == kPrinterOk) {
            facts.keys = listed.keys;
        } else {
            facts.failure = listed.why;
        }
    }
}

} // namespace

PrinterFacts AskPrinterFacts(const PrinterChoice& choice, const Spooler* spooler) {
    PrinterFacts facts;
    facts.printer = choice.name;
    if (choice.queue) {
        facts.whyNot = "cannot be asked: a spooler queue carries bytes one way";
        // Its language as kept for it: graphics go to it blind, in that language.
        facts.commands = KnownLogoLanguage(choice.name);
        if (spooler != nullptr) {
            if (auto queue = spooler->Open(choice.name, QueueAccess::Plain)) {
                facts.driverLogos =
                    ReadDriverLogos(queue.Value()->GetDriverData(kDriverConfigName));
            }
        }
        return facts;
    }
    const auto address = ParsePrinterAddress(choice.name);
    if (!address) {
        facts.failure = address.Reason();
        return facts;
    }
    auto connection = ConnectPrinter(address.Value());
    if (!connection) {
        facts.askable = true;
        facts.failure = connection.Reason();
        return facts;
    }
    PrinterConnection& link = *connection.Value();
    if (!link.CanAnswer()) {
        facts.whyNot = "cannot be asked: " + choice.name + " carries bytes one way";
        return facts;
    }
    facts.askable = true;
    facts.commands = KnownLogoLanguage(choice.name);
    if (facts.commands != LogoLanguage::EscPos) {
        AskStarFacts(link, choice, facts);
        return facts;
    }
    auto report = AskPrinter(link);
    if (!report) {
        facts.failure = report.Reason();
        return facts;
    }
    facts.report = std::move(report).Value();
    if (!facts.report->status.Answered()) {
        facts.failure = choice.name + ": no answer within " +
                        std::to_string(address.Value().readTimeout.count()) +
                        " ms (a one-way device, or one busy or switched off)";
        return facts;
    }
    if (facts.report->nvGraphicsTotal) {
        auto keys = AskGraphicKeys(link);
        if (keys && keys.Value()) {
            facts.keys = *keys.Value();
        } else if (!keys) {
            facts.failure = keys.Reason();
        }
        // A printer with NV graphics may print a logo by itself.
        if (facts.failure.empty()) {
            if (auto logo = AskAutoLogo(link); !logo) {
                facts.failure = logo.Reason();
            } else if (logo.Value().kind == AutoLogoAnswer::Kind::Read) {
                facts.autoLogo = logo.Value().settings;
            }
        }
    }
    static_cast<void>(link.Finish());
    return facts;
}

std::string ReadinessText(const PrinterFacts& facts, bool korean) {
    if (!facts.whyNot.empty()) {
        return facts.whyNot;
    }
    if (!facts.report || (!facts.starStatus && !facts.report->status.Answered())) {
        return facts.failure.empty() ? std::string("not asked yet") : facts.failure;
    }
    const bool ready = facts.starStatus ? facts.starStatus->Ready() : facts.report->status.Ready();
    std::string why;
    for (const std::string& c :
         facts.starStatus ? facts.starStatus->Conditions() : facts.report->status.Conditions()) {
        why += (why.empty() ? "" : ", ") + c;
    }
    const char* state =
        ready ? (korean ? "준비됨" : "ready") : (korean ? "준비 안 됨" : "not ready");
    return std::string(state) + (why.empty() ? "" : " (" + why + ")");
}

std::vector<uint8_t> TestReceiptBytes(const TestReceipt& receipt) {
    std::vector<uint8_t> out;
    Append(out, {kEsc, '@', kEsc, 'a', 1});
    if (receipt.logo) {
        if (auto print = PrintGraphicCommand(*receipt.logo, 1, 1)) {
            out.insert(out.end(), print.Value().begin(), print.Value().end());
        }
        out.push_back(kLf);
    }
    Line(out, "Tessaline test receipt");
    Append(out, {kEsc, 'a', 0});
    Line(out, "Printer: " + receipt.printer);
    if (!receipt.model.empty()) {
        Line(out, "Model:   " + receipt.model);
    }
    Line(out, "Date:    " + receipt.date);
    if (receipt.logo) {
        Line(out, "Logo:    " + receipt.logo->Text());
    }
    Append(out, {kEsc, 'a', 1});
    const uint8_t model[] = {50, 0};
    QrFunction(out, 65, model);
    const uint8_t size[] = {4};
    QrFunction(out, 67, size);
    const uint8_t level[] = {49};
    QrFunction(out, 69, level);
    std::vector<uint8_t> data{48};
    const std::size_t length = std::min<std::size_t>(receipt.printer.size(), 7000);
    data.insert(data.end(), receipt.printer.begin(),
                receipt.printer.begin() + static_cast<std::ptrdiff_t>(length));
    QrFunction(out, 80, data);
    const uint8_t print[] = {48};
    QrFunction(out, 81, print);
    Append(out, {kLf, kEsc, 'a', 0, kEsc, 'd', 4, kGs, 'V', 66, 0});
    return out;
}

Result<void> SendToPrinter(const Spooler& spooler, const PrinterChoice& choice,
                           const std::vector<uint8_t>& bytes) {
    if (choice.queue) {
        auto queue = spooler.Open(choice.name, QueueAccess::Plain);
        if (!queue) {
            return Result<void>::Fail("\"" + choice.name + "\": " + queue.Reason());
        }
        if (auto started = queue.Value()->StartRawJob("Test receipt", "RAW"); !started) {
            return Result<void>::Fail("\"" + choice.name + "\": " + started.Reason());
        }
        if (auto written = queue.Value()->Write(bytes); !written) {
            queue.Value()->CancelJob();
            return Result<void>::Fail("\"" + choice.name + "\": " + written.Reason());
        }
        return queue.Value()->EndJob();
    }
    const auto address = ParsePrinterAddress(choice.name);
    if (!address) {
        return Result<void>::FailAs(address);
    }
    auto connection = ConnectPrinter(address.Value());
    if (!connection) {
        return Result<void>::FailAs(connection);
    }
    if (auto sent = connection.Value()->Send(bytes); !sent) {
        return sent;
    }
    return connection.Value()->Finish();
}

} // namespace tessaline
