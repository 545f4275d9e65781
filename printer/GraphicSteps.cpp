// SPDX-License-Identifier: MIT
#include "printer/GraphicSteps.h"

#include "platform/connection/PrinterConnection.h"
#include "printer/PrinterReport.h"

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

// Where the bytes go: a printer by its address (asked while it answers), or a
// spooler queue (one raw job, blind).
class GraphicsLink {
public:
    // kPrinterOk when open; otherwise the result, with the reason in `why`.
    int32_t Open(const GraphicsPrinter& printer, std::string& why) {
        m_printer = printer.name;
        m_count = printer.countNvWrites;
        if (m_printer.empty()) {
            why = Joined({"no printer name was given"});
            return kPrinterNotInstalled;
        }
        if (!IsPrinterAddress(m_printer)) {
            // The queue of exactly that name, as its spooler compares names.
            if (Result<void> listed = FindListedQueue(printer.spooler, m_printer); !listed) {
                why = listed.Reason();
                return listed.Code();
            }
            auto queue = printer.spooler.Open(m_printer, QueueAccess::Plain);
            Result<void> started = queue ? queue.Value()->StartRawJob("NV graphics", "RAW")
                                         : Result<void>::Fail(queue.Reason());
            if (!started) {
                why = Joined({"\"", m_printer, "\": ", started.Reason()});
                return kPrinterNotStarted;
            }
            m_queue = std::move(queue.Value());
            return kPrinterOk;
        }
        Result<PrinterAddress> address = ParsePrinterAddress(m_printer);
        if (address && (printer.connectTimeout || printer.readTimeout)) {
            address = ParsePrinterAddress(WithTimeouts(
                m_printer, printer.connectTimeout.value_or(address.Value().connectTimeout),
                printer.readTimeout.value_or(address.Value().readTimeout)));
        }
        if (!address) {
            why = address.Reason();
            return kPrinterNotInstalled;
        }
        auto connection = ConnectPrinter(address.Value());
        if (!connection) {
            why = connection.Reason();
            return kPrinterNotStarted;
        }
        m_connection = std::move(connection.Value());
        m_answers = m_connection->CanAnswer();
        // A read timeout the caller chose holds after writes too.
        m_writeWait = printer.readTimeout ? std::chrono::milliseconds(0) : kNvWriteAnswerWait;
        return kPrinterOk;
    }

    bool Spooled() const { return m_queue != nullptr; }
    const std::string& Printer() const { return m_printer; }

    Result<void> Send(std::span<const uint8_t> bytes) {
        return m_queue ? m_queue->Write(bytes) : m_connection->Send(bytes);
    }
    Result<void> Finish() { return m_queue ? m_queue->EndJob() : m_connection->Finish(); }

    // The free (or total) NV graphics bytes; nothing when the printer does not answer.
    Result<Bytes> AskMemory(NvGraphicsQuery query) {
        if (!m_answers) {
            return Bytes();
        }
        const auto reply = AskOne(*m_connection, NvGraphicsRequest(query), ShapeOf(query));
        if (!reply) {
            return Result<Bytes>::Fail(reply.Reason());
        }
        if (!reply.Value()) {
            m_answers = false;
            return Bytes();
        }
        m_answered = true;
        return ParseNvBytes(*reply.Value());
    }

    // The key list; nothing when the printer does not answer. After an NV
    // write, a printer that has answered before may take longer.
    Result<Keys> AskKeys(bool afterWrite = false) {
        if (!m_answers) {
            return Keys();
        }
        const auto wait = afterWrite && m_answered ? m_writeWait : std::chrono::milliseconds(0);
        auto keys = AskGraphicKeys(*m_connection, wait);
        if (keys && !keys.Value()) {
            m_answers = false;
        }
        m_answered = m_answered || (keys && keys.Value());
        return keys;
    }

    // An NV write has gone out to the printer.
    void CountNvWrite(const std::string& what, const std::string& holds,
                      NvWidthChange widths = {}) const {
        if (m_count) {
            m_count(m_printer, NvWrites{1, what, holds, std::move(widths)});
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
            outcome.why = Joined({"sent blind through the spooler queue \"", m_printer,
                                  "\", which carries no answer back: not verified"});
        } else {
            outcome.check = GraphicCheck::Unanswered;
            outcome.why = Joined({"sent, not verified: ", m_printer, " does not answer"});
        }
        return outcome;
    }

private:
    std::string m_printer;
    std::unique_ptr<PrinterConnection> m_connection;
    std::unique_ptr<SpoolerQueue> m_queue;
    NvWriteCounter m_count;
    bool m_answers = false;
    // Whether the printer has answered a question on this connection yet.
    bool m_answered = false;
    // The wait for an answer after an NV write, from a printer that answered before.
    std::chrono::milliseconds m_writeWait{0};
};

constexpr const char* kDeleteAll = "deletion of every NV graphic";

// Sends one print or delete command, then reads what the printer holds.
// `checked` gets the outcome and the keys afterwards when the printer
// answered; the outcome is final otherwise.
std::optional<GraphicOutcome> SendAndAsk(GraphicsLink& link, std::span<const uint8_t> command,
                                         bool askFree, GraphicOutcome& checked,
                                         const std::string& nvWrite = {},
                                         NvWidthChange widths = {}) {
    if (Result<void> sent = link.Send(command); !sent) {
        return Failed(kPrinterNotSent, sent.Reason());
    }
    if (!nvWrite.empty()) {
        // Deleting every graphic leaves none; one, the others as they were.
        link.CountNvWrite(nvWrite, nvWrite == kDeleteAll ? kHoldsNone : std::string(),
                          std::move(widths));
    }
    const auto keys = link.AskKeys(true);
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
    const auto command = StoreGraphicCommand(key, graphic);
    if (!command) {
        return Failed(kPrinterRefused, Joined({file, ": ", command.Reason()}));
    }
    const uint64_t size = graphic.rows.size();
    GraphicsLink link;
    std::string why;
    if (const int32_t opened = link.Open(printer, why); opened != kPrinterOk) {
        return Failed(opened, why);
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
    const bool first = !keysBefore.Value() || keysBefore.Value()->empty();
    if (Result<void> sent = link.Send(command.Value()); !sent) {
        return Failed(kPrinterNotSent, sent.Reason());
    }
    NvWidthChange stored;
    stored.stored.emplace_back(key.Text(), graphic.width);
    link.CountNvWrite(Joined({"store of NV graphic ", ShownKey(key)}), kHoldsGraphics,
                      std::move(stored));
    // One graphic: Progress(1) once its bytes went out, as an upload of one logo raises it.
    if (progress) {
        progress(1);
    }
    const auto keysAfter = link.AskKeys(true);
    if (!keysAfter) {
        return Failed(kPrinterNotSent, keysAfter.Reason());
    }
    const auto freeAfter = link.AskMemory(NvGraphicsQuery::Free);
    if (!keysAfter.Value()) {
        GraphicOutcome outcome = link.Unverified();
        outcome.firstGraphic = first && outcome.result == kPrinterOk;
        return outcome;
    }
    if (Result<void> done = link.Finish(); !done) {
        return Failed(EndedJobResult(done), done.Reason());
    }
    const std::vector<GraphicKey>& held = *keysAfter.Value();
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
    const auto command = PrintGraphicCommand(key, scaleX, scaleY);
    if (!command) {
        return Failed(kPrinterRefused, command.Reason());
    }
    GraphicsLink link;
    std::string why;
    if (const int32_t opened = link.Open(printer, why); opened != kPrinterOk) {
        return Failed(opened, why);
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
    const std::vector<uint8_t> command =
        key ? DeleteGraphicCommand(*key) : DeleteAllGraphicsCommand();
    GraphicsLink link;
    std::string why;
    if (const int32_t opened = link.Open(printer, why); opened != kPrinterOk) {
        return Failed(opened, why);
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
    std::string why;
    if (const int32_t opened = link.Open(printer, why); opened != kPrinterOk) {
        return Failed(opened, why);
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
