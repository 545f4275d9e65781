// SPDX-License-Identifier: MIT
#include "printer/PrinterReport.h"

#include <algorithm>
#include <chrono>

namespace tessaline {

namespace {

using Clock = std::chrono::steady_clock;

std::string TextOf(const std::vector<uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

// One question of the report: what to send, what the reply looks like, and
// where the answer goes.
struct Question {
    int kind; // 0 status, 1 identification, 2 NV graphics
    const char* what;
    std::vector<uint8_t> request;
    ReplyShape shape;
    void (*keep)(PrinterReport&, const std::vector<uint8_t>&);
};

std::vector<Question> Questions() {
    auto status = [](StatusQuery q, const char* what,
                     void (*keep)(PrinterReport&, const std::vector<uint8_t>&)) {
        return Question{0, what, StatusRequest(q), ShapeOf(q), keep};
    };
    auto identity = [](IdentityQuery q, const char* what,
                       void (*keep)(PrinterReport&, const std::vector<uint8_t>&)) {
        return Question{1, what, IdentityRequest(q), ShapeOf(q), keep};
    };
    auto nv = [](NvGraphicsQuery q, const char* what,
                 void (*keep)(PrinterReport&, const std::vector<uint8_t>&)) {
        return Question{2, what, NvGraphicsRequest(q), ShapeOf(q), keep};
    };
    return {
        status(StatusQuery::Printer, "printer status (DLE EOT 1)",
               [](PrinterReport& r, const std::vector<uint8_t>& b) { r.status.printer = b[0]; }),
        status(
            StatusQuery::OfflineCause, "off-line cause (DLE EOT 2)",
            [](PrinterReport& r, const std::vector<uint8_t>& b) { r.status.offlineCause = b[0]; }),
        status(StatusQuery::ErrorCause, "error cause (DLE EOT 3)",
               [](PrinterReport& r, const std::vector<uint8_t>& b) { r.status.errorCause = b[0]; }),
        status(
            StatusQuery::PaperSensor, "paper sensor (DLE EOT 4)",
            [](PrinterReport& r, const std::vector<uint8_t>& b) { r.status.paperSensor = b[0]; }),
        identity(IdentityQuery::Maker, "maker (GS I 66)",
                 [](PrinterReport& r, const std::vector<uint8_t>& b) { r.maker = TextOf(b); }),
        identity(IdentityQuery::Model, "model (GS I 67)",
                 [](PrinterReport& r, const std::vector<uint8_t>& b) { r.model = TextOf(b); }),
        identity(IdentityQuery::Firmware, "firmware (GS I 65)",
                 [](PrinterReport& r, const std::vector<uint8_t>& b) { r.firmware = TextOf(b); }),
        identity(
            IdentityQuery::SerialNumber, "serial number (GS I 68)",
            [](PrinterReport& r, const std::vector<uint8_t>& b) { r.serialNumber = TextOf(b); }),
        identity(IdentityQuery::CodePage, "code page (GS I 69)",
                 [](PrinterReport& r, const std::vector<uint8_t>& b) { r.codePage = TextOf(b); }),
        identity(IdentityQuery::ModelId, "model ID (GS I 1)",
                 [](PrinterReport& r, const std::vector<uint8_t>& b) { r.modelId = b[0]; }),
        identity(IdentityQuery::TypeId, "type ID (GS I 2)",
                 [](PrinterReport& r, const std::vector<uint8_t>& b) { r.typeId = b[0]; }),
        identity(IdentityQuery::RomVersionId, "ROM version ID (GS I 3)",
                 [](PrinterReport& r, const std::vector<uint8_t>& b) { r.romVersionId = b[0]; }),
        // Asked with the identification, so a scan spends no timeout of its
        // own on it: a printer that tells nothing of itself is not asked.
        Question{1, "paper width (GS ( E 6)", PaperWidthSettingRequest(), ReplyShape::CustomValue,
                 [](PrinterReport& r, const std::vector<uint8_t>& b) {
                     r.paperMillimetres = ParsePaperWidthSetting(b);
                 }},
        nv(NvGraphicsQuery::Total, "NV graphics total (GS ( L 48)",
           [](PrinterReport& r, const std::vector<uint8_t>& b) {
               r.nvGraphicsTotal = ParseNvBytes(b);
           }),
        nv(NvGraphicsQuery::Free, "NV graphics free (GS ( L 51)",
           [](PrinterReport& r, const std::vector<uint8_t>& b) {
               r.nvGraphicsFree = ParseNvBytes(b);
           }),
    };
}

} // namespace

KnownPaper KnownPaperOf(std::optional<int32_t> answeredMillimetres, const PrinterProfile* profile) {
    if (answeredMillimetres) {
        if (const auto dots = RollDots(*answeredMillimetres, profile)) {
            return {dots, "answered"};
        }
    }
    if (profile != nullptr && profile->PaperDots()) {
        return {profile->PaperDots(), "profile"};
    }
    return {};
}

const PrinterProfile* ProfileOf(const PrinterReport& report) {
    if (!report.model) {
        return nullptr;
    }
    const auto match = MatchProfile(report.maker.value_or(""), *report.model);
    return match ? match->profile : nullptr;
}

Result<std::optional<std::vector<uint8_t>>> AskOne(PrinterConnection& connection,
                                                   std::span<const uint8_t> request,
                                                   ReplyShape shape, size_t* stray) {
    using Answer = Result<std::optional<std::vector<uint8_t>>>;
    if (Result<void> sent = connection.Send(request); !sent) {
        return Answer::FailAs(sent);
    }
    ReplyReader reader(shape);
    std::optional<std::vector<uint8_t>> reply;
    const Result<bool> whole = ReceiveReply(connection, [&](std::span<const uint8_t> bytes) {
        reader.Feed(bytes);
        reply = reader.Reply();
        return reply.has_value();
    });
    if (!whole) {
        return Answer::FailAs(whole);
    }
    if (stray != nullptr) {
        *stray += reader.Dropped() + reader.Extra();
    }
    return reply;
}

Result<bool> ReceiveReply(PrinterConnection& connection,
                          const std::function<bool(std::span<const uint8_t>)>& take) {
    const Clock::time_point deadline = Clock::now() + connection.Address().readTimeout;
    std::vector<uint8_t> got;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        got.clear();
        if (Result<void> r = connection.Receive(got, left); !r) {
            return Result<bool>::FailAs(r);
        }
        if (take(got)) {
            return true;
        }
    }
}

Result<std::optional<std::vector<GraphicKey>>> AskGraphicKeys(PrinterConnection& connection,
                                                              std::chrono::milliseconds firstWait) {
    using Answer = Result<std::optional<std::vector<GraphicKey>>>;
    if (Result<void> sent = connection.Send(GraphicKeyListCommand()); !sent) {
        return Answer::FailAs(sent);
    }
    KeyListExchange exchange;
    Clock::time_point deadline =
        Clock::now() + std::max(firstWait, connection.Address().readTimeout);
    bool heardAny = false;
    std::vector<uint8_t> got;
    while (exchange.Current() == KeyListExchange::State::Reading) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            if (heardAny) {
                // Leaves the printer's hand-over, so what comes next is read as commands.
                static_cast<void>(connection.Send(std::vector<uint8_t>{kCan}));
            }
            return std::optional<std::vector<GraphicKey>>();
        }
        got.clear();
        if (Result<void> r = connection.Receive(got, left); !r) {
            return Answer::FailAs(r);
        }
        if (got.empty()) {
            continue;
        }
        heardAny = true;
        const std::vector<uint8_t> answer = exchange.Feed(got);
        if (!answer.empty()) {
            if (Result<void> sent = connection.Send(answer); !sent) {
                return Answer::FailAs(sent);
            }
            deadline = Clock::now() + connection.Address().readTimeout;
        }
    }
    if (exchange.Current() == KeyListExchange::State::Failed) {
        return Answer::Fail(connection.Address().text + ": " + exchange.Failure());
    }
    return std::optional<std::vector<GraphicKey>>(exchange.Keys());
}

namespace {

// Sends `request` and feeds what comes to `reader` until it has a reply or
// the read timeout passes.
template <typename Reader>
auto AskStarOne(PrinterConnection& connection, const std::vector<uint8_t>& request, Reader& reader)
    -> Result<decltype(reader.Reply())> {
    using Answer = Result<decltype(reader.Reply())>;
    if (Result<void> sent = connection.Send(request); !sent) {
        return Answer::FailAs(sent);
    }
    decltype(reader.Reply()) reply;
    const Result<bool> whole = ReceiveReply(connection, [&](std::span<const uint8_t> bytes) {
        reader.Feed(bytes);
        reply = reader.Reply();
        return reply.has_value();
    });
    if (!whole) {
        return Answer::FailAs(whole);
    }
    return reply;
}

} // namespace

PrinterReport StarAsPrinterReport(const StarReport& star) {
    PrinterReport report;
    if (!star.status) {
        report.unanswered.emplace_back("automatic status (ESC ACK SOH)");
        return report;
    }
    report.maker = "Star";
    if (star.version) {
        const size_t space = star.version->find(' ');
        report.model = star.version->substr(0, space);
        if (space != std::string::npos) {
            report.firmware = star.version->substr(space + 1);
        }
    } else {
        report.unanswered.emplace_back("version (ESC # * LF NUL)");
    }
    return report;
}

Result<StarReport> AskStarPrinter(PrinterConnection& connection) {
    StarReport report;
    if (!connection.CanAnswer()) {
        return report;
    }
    StarStatusReader statusReader;
    auto status = AskStarOne(connection, StarStatusRequest(), statusReader);
    if (!status) {
        return Result<StarReport>::FailAs(status);
    }
    report.status = std::move(status).Value();
    if (!report.status) {
        return report;
    }
    StarVersionReader versionReader;
    auto version = AskStarOne(connection, StarVersionRequest(), versionReader);
    if (!version) {
        return Result<StarReport>::FailAs(version);
    }
    report.version = std::move(version).Value();
    return report;
}

Result<std::optional<LogoLanguage>> AnsweredLogoLanguage(PrinterConnection& connection) {
    using Answer = Result<std::optional<LogoLanguage>>;
    if (!connection.CanAnswer()) {
        return std::optional<LogoLanguage>();
    }
    const auto status =
        AskOne(connection, StatusRequest(StatusQuery::Printer), ShapeOf(StatusQuery::Printer));
    if (!status) {
        return Answer::FailAs(status);
    }
    if (status.Value()) {
        return std::optional<LogoLanguage>(LogoLanguage::EscPos);
    }
    const Result<StarReport> star = AskStarPrinter(connection);
    if (!star) {
        return Answer::FailAs(star);
    }
    if (!star.Value().status) {
        return std::optional<LogoLanguage>();
    }
    const std::string version = star.Value().version.value_or("");
    const auto match = MatchProfile("Star", version.substr(0, version.find(' ')));
    if (match && match->profile->commands == ProfileCommands::StarPrnt) {
        return std::optional<LogoLanguage>(LogoLanguage::StarPrnt);
    }
    if (match && match->profile->commands == ProfileCommands::StarLine) {
        return std::optional<LogoLanguage>(LogoLanguage::StarLine);
    }
    // Only StarPRNT models name the command set in their version text.
    return std::optional<LogoLanguage>(version.find("PRNT") != std::string::npos
                                           ? LogoLanguage::StarPrnt
                                           : LogoLanguage::StarLine);
}

Result<PrinterReport> AskPrinter(PrinterConnection& connection, Patience patience) {
    PrinterReport report;
    bool answeredAny = false;
    int kindGivenUp = -1;
    for (const Question& q : Questions()) {
        if (!connection.CanAnswer() || (!answeredAny && !report.unanswered.empty()) ||
            q.kind == kindGivenUp) {
            report.unanswered.emplace_back(q.what);
            continue;
        }
        const auto answer = AskOne(connection, q.request, q.shape, &report.strayBytes);
        if (!answer) {
            return Result<PrinterReport>::FailAs(answer);
        }
        if (!answer.Value()) {
            report.unanswered.emplace_back(q.what);
            if (patience == Patience::EachKind) {
                kindGivenUp = q.kind;
            }
            continue;
        }
        answeredAny = true;
        q.keep(report, *answer.Value());
    }
    return report;
}

} // namespace tessaline
