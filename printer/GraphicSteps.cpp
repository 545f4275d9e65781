// SPDX-License-Identifier: MIT
#include "printer/GraphicSteps.h"

#include "platform/connection/PrinterConnection.h"
#include "printer/PrinterLink.h"
#include "printer/PrinterReport.h"
#include "printer/StarPrntGraphics.h"

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <string_view>

namespace tessaline {

namespace {

using Keys = std::optional<std::vector<GraphicKey>>;
using Bytes = std::optional<uint64_t>;

// The pieces one after the other (appended one by one, which g++'s -O3 checks
// take without a false overlap warning).
std::string Joined(std::initializer_list<std::string_view> pieces) {
    std::string text;
    for (const std::string_view piece : pieces) {
        text.append(piece);
    }
    return text;
}

GraphicOutcome Failed(int32_t result, std::string why) {
    GraphicOutcome outcome;
    outcome.result = result;
    outcome.why = std::move(why);
    return outcome;
}

bool Holds(const std::vector<GraphicKey>& keys, GraphicKey key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

using StarAnswer = Result<std::optional<StarGraphicReply>>;

// Sends one ESC GS ) L question and waits for the reply of its function (and,
// for a graphic's data, its key), up to the read timeout or `firstWait` when
// longer; nothing when none came. A Star printer's own status broadcasts in
// between are passed over.
StarAnswer AskStarGraphic(PrinterConnection& connection, std::span<const uint8_t> request,
                          uint8_t fn, GraphicKey key, std::chrono::milliseconds firstWait) {
    if (Result<void> sent = connection.Send(request); !sent) {
        return StarAnswer::FailAs(sent);
    }
    StarGraphicReader reader;
    const auto deadline =
        std::chrono::steady_clock::now() + std::max(firstWait, connection.Address().readTimeout);
    std::vector<uint8_t> got;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::optional<StarGraphicReply>();
        }
        got.clear();
        if (Result<void> r = connection.Receive(got, left); !r) {
            return StarAnswer::FailAs(r);
        }
        reader.Feed(got);
        while (auto reply = reader.Reply()) {
            if (reply->fn == fn && (fn != kStarGraphicData || reply->key == key)) {
                return std::optional<StarGraphicReply>(std::move(reply));
            }
        }
    }
}

// How the graphic a StarPRNT printer sent back differs from the one stored;
// empty when it is the same, dot for dot.
std::string DataDifference(const RasterGraphic& sent, const StarGraphicReply& back) {
    if (!back.graphic) {
        return "sends no data for it";
    }
    const RasterGraphic& kept = *back.graphic;
    std::string text;
    if (kept.width != sent.width || kept.height != sent.height) {
        text += "sends back ";
        text += std::to_string(kept.width);
        text += " x ";
        text += std::to_string(kept.height);
        text += " dots for the ";
        text += std::to_string(sent.width);
        text += " x ";
        text += std::to_string(sent.height);
        text += " sent";
        return text;
    }
    uint64_t differ = 0;
    for (size_t i = 0; i < sent.rows.size() && i < kept.rows.size(); ++i) {
        differ += sent.rows[i] != kept.rows[i] ? 1u : 0u;
    }
    if (differ == 0 && back.colours == 1 && kept.rows.size() == sent.rows.size()) {
        return {};
    }
    text += "sends back data that differs from what was sent (";
    if (back.colours != 1) {
        text += std::to_string(back.colours);
        text += " colours for 1";
    } else {
        text += GroupedDigits(differ);
        text += " of ";
        text += GroupedDigits(sent.rows.size());
        text += " bytes differ";
    }
    text += ")";
    return text;
}

// The key list in `commands`' own question, waiting up to `wait` beyond the
// read timeout for its first reply; nothing when none came.
Result<Keys> ListKeys(PrinterConnection& connection, LogoLanguage commands,
                      std::chrono::milliseconds wait) {
    if (commands != LogoLanguage::StarPrnt) {
        return AskGraphicKeys(connection, wait);
    }
    const StarAnswer reply =
        AskStarGraphic(connection, StarGraphicKeysRequest(), kStarGraphicKeys, GraphicKey{}, wait);
    if (!reply) {
        return Result<Keys>::FailAs(reply);
    }
    return reply.Value() ? Keys(reply.Value()->keys) : Keys();
}

// Where the bytes go: a printer by its address (asked while it answers), or a
// spooler queue (one raw job, blind).
class GraphicsLink {
public:
    // Fails with the step's result code and why.
    Result<void> Open(const GraphicsPrinter& printer) {
        m_count = printer.countNvWrites;
        m_star = printer.commands == LogoLanguage::StarPrnt;
        Result<void> opened =
            m_link.Open(printer.spooler, printer.name, "NV graphics",
                        LinkTimeouts{printer.connectTimeout, printer.readTimeout});
        m_answers = opened && m_link.CanAnswer();
        return opened;
    }

    bool Spooled() const { return m_link.Spooled(); }
    bool Star() const { return m_star; }
    const std::string& Printer() const { return m_link.Printer(); }

    Result<void> Send(std::span<const uint8_t> bytes) { return m_link.Send(bytes); }
    Result<void> Finish() { return m_link.Finish(); }

    // The free (or total) NV graphics bytes; nothing when the printer does not answer.
    Result<Bytes> AskMemory(NvGraphicsQuery query) {
        // StarPRNT has no question for its NV graphics sizes.
        if (!m_answers || m_star) {
            return Bytes();
        }
        const auto reply = AskOne(m_link.Connection(), NvGraphicsRequest(query), ShapeOf(query));
        if (!reply) {
            return Result<Bytes>::FailAs(reply);
        }
        if (!reply.Value()) {
            m_answers = false;
            return Bytes();
        }
        m_answered = true;
        return ParseNvBytes(*reply.Value());
    }

    // The key list; nothing when the printer does not answer.
    Result<Keys> AskKeys() {
        if (!m_answers) {
            return Keys();
        }
        auto keys = ListKeys(m_link.Connection(), Commands(), std::chrono::milliseconds(0));
        Answered(keys);
        return keys;
    }

    // Sends `command` and, while the printer answers, the key list after it:
    // nothing when it does not (or through a queue, blind). `sent` runs once
    // the bytes went out.
    Result<Keys> SendThenAsk(std::span<const uint8_t> command, const std::function<void()>& sent) {
        if (!m_answers) {
            if (Result<void> done = Send(command); !done) {
                return Result<Keys>::FailAs(done);
            }
            if (sent) {
                sent();
            }
            return Keys();
        }
        auto keys =
            SendThenListKeys(m_link.Connection(), command, Commands(), AfterWriteWait(), sent);
        Answered(keys);
        return keys;
    }

    // The data a StarPRNT printer holds under `key`; nothing when it does not answer.
    StarAnswer ReadBack(GraphicKey key) {
        if (!m_answers) {
            return std::optional<StarGraphicReply>();
        }
        return AskStarGraphic(m_link.Connection(), StarGraphicDataRequest(key), kStarGraphicData,
                              key, std::chrono::milliseconds(0));
    }

    // An NV write has gone out to the printer.
    void CountNvWrite(const std::string& what, const std::string& holds,
                      NvWidthChange widths = {}) const {
        if (m_count) {
            m_count(m_link.Printer(), NvWrites{1, what, holds, std::move(widths)});
        }
    }

    // The end of a step whose result cannot be checked: the job ends, and
    // the outcome says why it is not verified.
    GraphicOutcome Unverified() {
        if (Result<void> done = Finish(); !done) {
            return Failed(EndedJobResult(done), done.Reason());
        }
        GraphicOutcome outcome;
        if (Spooled()) {
            outcome.check = GraphicCheck::Blind;
            outcome.why = Joined({"sent blind through the spooler queue \"", m_link.Printer(),
                                  "\", which carries no answer back: not verified"});
        } else {
            outcome.check = GraphicCheck::Unanswered;
            outcome.why = Joined({"sent, not verified: ", m_link.Printer(), " does not answer"});
        }
        return outcome;
    }

private:
    LogoLanguage Commands() const { return m_star ? LogoLanguage::StarPrnt : LogoLanguage::EscPos; }

    // The key list asked after a write waits longer on a printer that has answered before.
    std::chrono::milliseconds AfterWriteWait() const {
        return m_answered ? m_link.WriteWait() : std::chrono::milliseconds(0);
    }

    // Notes whether a key list came: a printer that gave none is not asked again.
    void Answered(const Result<Keys>& keys) {
        if (keys && !keys.Value()) {
            m_answers = false;
        }
        m_answered = m_answered || (keys && keys.Value());
    }

    PrinterLink m_link;
    bool m_star = false;
    NvWriteCounter m_count;
    bool m_answers = false;
    // Whether the printer has answered a question on this connection yet.
    bool m_answered = false;
};

constexpr const char* kDeleteAll = "deletion of every NV graphic";

// Sends one print or delete command, then reads what the printer holds.
// `checked` gets the outcome and the keys afterwards when the printer
// answered; the outcome is final otherwise.
std::optional<GraphicOutcome> SendAndAsk(GraphicsLink& link, std::span<const uint8_t> command,
                                         bool askFree, GraphicOutcome& checked,
                                         const std::string& nvWrite = {},
                                         NvWidthChange widths = {}) {
    const auto keys = link.SendThenAsk(command, [&] {
        if (!nvWrite.empty()) {
            // Deleting every graphic leaves none; one, the others as they were.
            link.CountNvWrite(nvWrite, nvWrite == kDeleteAll ? kHoldsNone : std::string(),
                              std::move(widths));
        }
    });
    if (!keys) {
        return Failed(kPrinterNotSent, keys.Reason());
    }
    const auto free = askFree ? link.AskMemory(NvGraphicsQuery::Free) : Result<Bytes>(Bytes());
    if (!keys.Value()) {
        return link.Unverified();
    }
    if (Result<void> done = link.Finish(); !done) {
        return Failed(EndedJobResult(done), done.Reason());
    }
    checked.keys = *keys.Value();
    checked.freeBytes = free ? free.Value() : Bytes();
    return std::nullopt;
}

} // namespace

Result<std::optional<std::vector<GraphicKey>>> SendThenListKeys(PrinterConnection& connection,
                                                                std::span<const uint8_t> write,
                                                                LogoLanguage commands,
                                                                std::chrono::milliseconds wait,
                                                                const std::function<void()>& sent) {
    if (Result<void> done = connection.Send(write); !done) {
        return Result<Keys>::FailAs(done);
    }
    if (sent) {
        sent();
    }
    return ListKeys(connection, commands, wait);
}

std::string GroupedDigits(uint64_t value) {
    std::string digits = std::to_string(value);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<size_t>(at), 1, ',');
    }
    return digits;
}

std::string ShownKey(GraphicKey key) {
    if (key.Invisible()) {
        return "\"  \" (two blanks)";
    }
    std::string text = key.Text();
    if (text.find(' ') == std::string::npos) {
        return text;
    }
    return Joined({"\"", text, "\""});
}

std::string KeysText(const std::vector<GraphicKey>& keys) {
    std::string text;
    text.reserve(keys.size() * 2);
    for (const GraphicKey& key : keys) {
        text += static_cast<char>(key.kc1);
        text += static_cast<char>(key.kc2);
    }
    return text;
}

GraphicOutcome StoreGraphicStep(const GraphicsPrinter& printer, GraphicKey key,
                                const RasterGraphic& graphic, const std::string& file,
                                const ProgressFn& progress) {
    const bool star = printer.commands == LogoLanguage::StarPrnt;
    const auto command =
        star ? StarStoreGraphicCommand(key, graphic) : StoreGraphicCommand(key, graphic);
    if (!command) {
        return Failed(kPrinterRefused, Joined({file, ": ", command.Reason()}));
    }
    const uint64_t size = graphic.rows.size();
    GraphicsLink link;
    if (const Result<void> opened = link.Open(printer); !opened) {
        return Failed(opened.Code(), opened.Reason());
    }
    const auto freeBefore = link.AskMemory(NvGraphicsQuery::Free);
    if (!freeBefore) {
        return Failed(kPrinterNotSent, freeBefore.Reason());
    }
    // The printer ignores a graphic it cannot keep without a word.
    if (freeBefore.Value() && size > *freeBefore.Value()) {
        const auto total = link.AskMemory(NvGraphicsQuery::Total);
        std::string text = key.Text();
        text += " does not fit: ";
        text += file;
        text += " takes ";
        text += GroupedDigits(size);
        text += " bytes and ";
        text += link.Printer();
        text += " has ";
        text += GroupedDigits(*freeBefore.Value());
        if (total && total.Value()) {
            text += " of ";
            text += GroupedDigits(*total.Value());
        }
        text += " bytes free; nothing sent (deleting graphics makes room)";
        return Failed(kPrinterNotKept, text);
    }
    const auto keysBefore = link.AskKeys();
    if (!keysBefore) {
        return Failed(kPrinterNotSent, keysBefore.Reason());
    }
    // FS q bit images, which a first graphic may erase, are ESC/POS's only.
    const bool first = !star && (!keysBefore.Value() || keysBefore.Value()->empty());
    const auto keysAfter = link.SendThenAsk(command.Value(), [&] {
        NvWidthChange stored;
        stored.stored.emplace_back(key.Text(), graphic.width);
        link.CountNvWrite(Joined({"store of NV graphic ", ShownKey(key)}), kHoldsGraphics,
                          std::move(stored));
        // One graphic: Progress(1) once its bytes went out, as an upload of one logo raises it.
        if (progress) {
            progress(1);
        }
    });
    if (!keysAfter) {
        return Failed(kPrinterNotSent, keysAfter.Reason());
    }
    const auto freeAfter = link.AskMemory(NvGraphicsQuery::Free);
    if (!keysAfter.Value()) {
        GraphicOutcome outcome = link.Unverified();
        outcome.firstGraphic = first && outcome.result == kPrinterOk;
        return outcome;
    }
    const std::vector<GraphicKey>& held = *keysAfter.Value();
    // A StarPRNT printer sends the graphic back: what it keeps is compared dot for dot.
    bool unread = false;
    std::string difference;
    if (star && Holds(held, key)) {
        const StarAnswer back = link.ReadBack(key);
        if (!back) {
            return Failed(kPrinterNotSent, back.Reason());
        }
        unread = !back.Value();
        difference = unread ? std::string() : DataDifference(graphic, *back.Value());
    }
    if (Result<void> done = link.Finish(); !done) {
        return Failed(EndedJobResult(done), done.Reason());
    }
    if (unread) {
        GraphicOutcome outcome;
        outcome.check = GraphicCheck::Unanswered;
        outcome.keys = held;
        outcome.why = Joined({"sent, not verified: ", link.Printer(), " lists ", ShownKey(key),
                              " but did not send its data back"});
        return outcome;
    }
    if (!difference.empty()) {
        return Failed(kPrinterNotKept,
                      Joined({link.Printer(), " holds ", ShownKey(key), " but ", difference, " (",
                              GroupedDigits(size), " bytes sent)"}));
    }
    if (!Holds(held, key)) {
        std::string text = link.Printer();
        text += " did not keep ";
        text += ShownKey(key);
        text += " (";
        text += GroupedDigits(size);
        text += " bytes sent; it holds ";
        text += std::to_string(held.size());
        text += " graphics)";
        return Failed(kPrinterNotKept, text);
    }
    GraphicOutcome outcome;
    outcome.firstGraphic = first;
    outcome.keys = held;
    outcome.freeBytes = freeAfter ? freeAfter.Value() : Bytes();
    return outcome;
}

GraphicOutcome PrintGraphicStep(const GraphicsPrinter& printer, GraphicKey key, int32_t scaleX,
                                int32_t scaleY) {
    const auto command = printer.commands == LogoLanguage::StarPrnt
                             ? StarPrintGraphicCommand(key, scaleX, scaleY)
                             : PrintGraphicCommand(key, scaleX, scaleY);
    if (!command) {
        return Failed(kPrinterRefused, command.Reason());
    }
    GraphicsLink link;
    if (const Result<void> opened = link.Open(printer); !opened) {
        return Failed(opened.Code(), opened.Reason());
    }
    GraphicOutcome checked;
    if (auto done = SendAndAsk(link, command.Value(), false, checked)) {
        return *done;
    }
    if (!Holds(checked.keys, key)) {
        std::string text = link.Printer();
        text += " holds no graphic ";
        text += ShownKey(key);
        text += ": nothing printed";
        return Failed(kPrinterNotKept, text);
    }
    return checked;
}

GraphicOutcome DeleteGraphicStep(const GraphicsPrinter& printer, std::optional<GraphicKey> key) {
    const bool star = printer.commands == LogoLanguage::StarPrnt;
    const std::vector<uint8_t> command =
        star ? (key ? StarDeleteGraphicCommand(*key) : StarDeleteAllGraphicsCommand())
             : (key ? DeleteGraphicCommand(*key) : DeleteAllGraphicsCommand());
    GraphicsLink link;
    if (const Result<void> opened = link.Open(printer); !opened) {
        return Failed(opened.Code(), opened.Reason());
    }
    GraphicOutcome checked;
    const std::string what =
        key ? Joined({"deletion of NV graphic ", ShownKey(*key)}) : std::string(kDeleteAll);
    NvWidthChange deleted;
    if (key) {
        deleted.deleted.push_back(key->Text());
    }
    if (auto done = SendAndAsk(link, command, true, checked, what, std::move(deleted))) {
        return *done;
    }
    if (!key && !checked.keys.empty()) {
        std::string text = link.Printer();
        text += " still holds ";
        text += std::to_string(checked.keys.size());
        text += " graphics";
        return Failed(kPrinterNotKept, text);
    }
    if (key && Holds(checked.keys, *key)) {
        std::string text = link.Printer();
        text += " still holds ";
        text += ShownKey(*key);
        return Failed(kPrinterNotKept, text);
    }
    return checked;
}

GraphicOutcome ListGraphicsStep(const GraphicsPrinter& printer) {
    if (!IsPrinterAddress(printer.name)) {
        return Failed(kPrinterNotSent,
                      Joined({"\"", printer.name,
                              "\" is a spooler queue, which carries bytes one way: it cannot be "
                              "asked; give the printer's address (socket://HOST, "
                              "usb:///dev/usb/lpN, serial://PORT)"}));
    }
    GraphicsLink link;
    if (const Result<void> opened = link.Open(printer); !opened) {
        return Failed(opened.Code(), opened.Reason());
    }
    const auto keys = link.AskKeys();
    if (!keys) {
        return Failed(kPrinterNotSent, keys.Reason());
    }
    if (!keys.Value()) {
        return Failed(kPrinterNotSent, Joined({link.Printer(), " does not answer"}));
    }
    GraphicOutcome outcome;
    outcome.keys = *keys.Value();
    const auto total = link.AskMemory(NvGraphicsQuery::Total);
    const auto free = link.AskMemory(NvGraphicsQuery::Free);
    static_cast<void>(link.Finish());
    outcome.totalBytes = total ? total.Value() : Bytes();
    outcome.freeBytes = free ? free.Value() : Bytes();
    return outcome;
}

} // namespace tessaline
