// SPDX-License-Identifier: MIT
#include "printer/AutoLogoSteps.h"

#include "printer/PrinterLink.h"
#include "printer/PrinterReport.h"

#include <algorithm>
#include <memory>

namespace tessaline {

namespace {

using Clock = std::chrono::steady_clock;

AutoLogoOutcome Failed(int32_t result, std::string why) {
    AutoLogoOutcome outcome;
    outcome.result = result;
    outcome.why = std::move(why);
    return outcome;
}

// Sends one function 61 question and reads its reply within `wait`.
Result<AutoLogoAnswer> AskOneLogo(PrinterConnection& connection, LogoPlace place,
                                  std::chrono::milliseconds wait, AutoLogoSettings& into) {
    if (Result<void> sent = connection.Send(LogoSettingsRequest(place)); !sent) {
        return Result<AutoLogoAnswer>::FailAs(sent);
    }
    LogoReplyReader reader;
    const Clock::time_point deadline = Clock::now() + wait;
    std::vector<uint8_t> got;
    AutoLogoAnswer answer;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            answer.kind = AutoLogoAnswer::Kind::Unanswered;
            return answer;
        }
        got.clear();
        if (Result<void> r = connection.Receive(got, left); !r) {
            return Result<AutoLogoAnswer>::FailAs(r);
        }
        reader.Feed(got);
        auto reply = reader.Reply();
        if (!reply) {
            continue;
        }
        if (!*reply) {
            answer.kind = AutoLogoAnswer::Kind::Unreadable;
            answer.why = reply->Reason();
            return answer;
        }
        if (reply->Value().place != place) {
            // A late answer to the other question: the one asked may follow.
            continue;
        }
        (place == LogoPlace::Top ? into.top : into.bottom) = reply->Value().setting;
        answer.kind = AutoLogoAnswer::Kind::Read;
        return answer;
    }
}

// The printer a step goes to: a spooler queue (one raw job, blind) or an address.
class AutoLogoLink {
public:
    // Fails with the step's result code and why.
    Result<void> Open(const GraphicsPrinter& printer) {
        return m_link.Open(printer.spooler, printer.name, "Automatic logo",
                           LinkTimeouts{printer.connectTimeout, printer.readTimeout});
    }

    bool CanAnswer() const { return m_link.CanAnswer(); }
    PrinterConnection& Connection() { return m_link.Connection(); }
    std::chrono::milliseconds WriteWait() const { return m_link.WriteWait(); }
    const std::string& Printer() const { return m_link.Printer(); }

    Result<void> Send(std::span<const uint8_t> bytes) { return m_link.Send(bytes); }
    Result<void> Finish() { return m_link.Finish(); }

    // The end of a change that cannot be read back.
    AutoLogoOutcome Unverified(AutoLogoCheck check, std::string why) {
        if (Result<void> done = Finish(); !done) {
            return Failed(EndedJobResult(done), done.Reason());
        }
        AutoLogoOutcome outcome;
        outcome.check = m_link.Spooled() ? AutoLogoCheck::Blind : check;
        outcome.why = m_link.Spooled() ? "sent, not verified: the spooler queue \"" +
                                             m_link.Printer() + "\" carries no answer back"
                                       : std::move(why);
        return outcome;
    }

private:
    PrinterLink m_link;
};

std::string Shown(const AutoLogoSettings& settings) {
    return settings.Any() ? AutoLogoText(settings) : std::string("no automatic logo");
}

} // namespace

Result<AutoLogoAnswer> AskAutoLogo(PrinterConnection& connection,
                                   std::chrono::milliseconds firstWait) {
    const std::chrono::milliseconds wait = connection.Address().readTimeout;
    AutoLogoSettings settings;
    auto top = AskOneLogo(connection, LogoPlace::Top, std::max(wait, firstWait), settings);
    if (!top || top.Value().kind != AutoLogoAnswer::Kind::Read) {
        return top;
    }
    auto bottom = AskOneLogo(connection, LogoPlace::Bottom, wait, settings);
    if (!bottom || bottom.Value().kind != AutoLogoAnswer::Kind::Read) {
        return bottom;
    }
    AutoLogoAnswer answer;
    answer.kind = AutoLogoAnswer::Kind::Read;
    answer.settings = settings;
    return answer;
}

AutoLogoOutcome ReadAutoLogoStep(const GraphicsPrinter& printer) {
    if (!IsPrinterAddress(printer.name)) {
        return Failed(kPrinterNotSent,
                      "\"" + printer.name +
                          "\" is a spooler queue, which carries bytes one way: it cannot be "
                          "asked; give the printer's address (socket://HOST, "
                          "usb:///dev/usb/lpN, serial://PORT)");
    }
    AutoLogoLink link;
    if (const Result<void> opened = link.Open(printer); !opened) {
        return Failed(opened.Code(), opened.Reason());
    }
    if (!link.CanAnswer()) {
        return Failed(kPrinterNotSent, link.Printer() + " cannot answer");
    }
    const auto answer = AskAutoLogo(link.Connection());
    static_cast<void>(link.Finish());
    if (!answer) {
        return Failed(kPrinterNotSent, answer.Reason());
    }
    switch (answer.Value().kind) {
    case AutoLogoAnswer::Kind::Unanswered:
        return Failed(kPrinterNotSent,
                      link.Printer() + " does not answer what it prints by itself (FS ( E 61)");
    case AutoLogoAnswer::Kind::Unreadable:
        return Failed(kPrinterNotSent, link.Printer() + ": " + answer.Value().why);
    case AutoLogoAnswer::Kind::Read:
        break;
    }
    AutoLogoOutcome outcome;
    outcome.after = answer.Value().settings;
    return outcome;
}

AutoLogoOutcome SetAutoLogoStep(const GraphicsPrinter& printer, const AutoLogoSettings& wanted) {
    AutoLogoLink link;
    if (const Result<void> opened = link.Open(printer); !opened) {
        return Failed(opened.Code(), opened.Reason());
    }
    std::optional<AutoLogoSettings> before;
    std::vector<GraphicKey> missing;
    bool answers = link.CanAnswer();
    if (answers) {
        const auto asked = AskAutoLogo(link.Connection());
        if (!asked) {
            return Failed(kPrinterNotSent, asked.Reason());
        }
        answers = asked.Value().kind != AutoLogoAnswer::Kind::Unanswered;
        if (asked.Value().kind == AutoLogoAnswer::Kind::Read) {
            before = asked.Value().settings;
        }
        // Keys the printer does not hold print nothing: said, not refused, as
        // the graphic may be stored next.
        if (answers && wanted.Any()) {
            const auto keys = AskGraphicKeys(link.Connection());
            if (keys && keys.Value()) {
                for (const auto& logo : {wanted.top, wanted.bottom}) {
                    if (logo && std::find(keys.Value()->begin(), keys.Value()->end(), logo->key) ==
                                    keys.Value()->end()) {
                        missing.push_back(logo->key);
                    }
                }
            }
        }
    }
    const LogoCommands commands = AutoLogoCommands(wanted, before);
    if (!commands.bytes.empty()) {
        if (Result<void> sent = link.Send(commands.bytes); !sent) {
            return Failed(kPrinterNotSent, sent.Reason());
        }
        if (commands.writes > 0 && printer.countNvWrites) {
            printer.countNvWrites(
                printer.name,
                NvWrites{
                    commands.writes, "change of the logos printed by themselves", {}, {}, true});
        }
    }
    auto finishWith = [&](AutoLogoOutcome outcome) {
        outcome.before = before;
        outcome.writes = commands.writes;
        outcome.missingKeys = missing;
        return outcome;
    };
    if (!answers) {
        return finishWith(
            link.Unverified(AutoLogoCheck::Unanswered,
                            "sent, not verified: " + link.Printer() +
                                " does not answer what it prints by itself (FS ( E 61)"));
    }
    const auto after = AskAutoLogo(
        link.Connection(), commands.writes > 0 ? link.WriteWait() : std::chrono::milliseconds(0));
    if (!after) {
        return Failed(kPrinterNotSent, after.Reason());
    }
    if (after.Value().kind == AutoLogoAnswer::Kind::Unanswered) {
        return finishWith(
            link.Unverified(AutoLogoCheck::Unanswered, "sent, not verified: " + link.Printer() +
                                                           " gave no answer after the change"));
    }
    if (after.Value().kind == AutoLogoAnswer::Kind::Unreadable) {
        return finishWith(link.Unverified(AutoLogoCheck::NotReadBack,
                                          "set, not read back: " + after.Value().why));
    }
    if (Result<void> done = link.Finish(); !done) {
        return Failed(EndedJobResult(done), done.Reason());
    }
    const AutoLogoSettings& held = after.Value().settings;
    if (!held.SameAs(wanted)) {
        AutoLogoOutcome outcome =
            Failed(kPrinterNotKept, link.Printer() + " holds " + Shown(held) +
                                        " after the change, not " + Shown(wanted));
        outcome.after = held;
        return finishWith(outcome);
    }
    AutoLogoOutcome outcome;
    outcome.after = held;
    return finishWith(outcome);
}

} // namespace tessaline
