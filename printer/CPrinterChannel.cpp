// SPDX-License-Identifier: MIT
#include "printer/CPrinterChannel.h"

#include "printer/PrinterQueries.h"
#include "printer/StarStatus.h"

#include <algorithm>

namespace tessaline {

int32_t CPrinterChannel::CountInstalledPrinters(const std::string& name,
                                                const MessageFn& onFailure) const {
    // "THERMAL #1" also counts "THERMAL #12": only the given length is
    // compared, as the spooler compares names (Windows' ignores case).
    const QueueList list = m_spooler.ListQueuesBeginningWith(name);
    // A spooler that answered the enumeration with an error is reported; the
    // queues the other backends did list still count, so a failing CUPS server
    // does not hide the virtual printers.
    if (!list.status && onFailure) {
        onFailure("EnumPrinters() failed", "EnumPrinters() Error");
    }
    return static_cast<int32_t>(list.names.size());
}

void CPrinterChannel::NoteFailure(const std::string& words, const char* otherwise) {
    m_lastError = "\"" + m_name + "\": " + (words.empty() ? std::string(otherwise) : words);
}

int CPrinterChannel::OpenLogoDocument(const std::string& name) {
    m_queue.reset();
    m_direct.reset();
    m_docInfo = LogoDocumentInfo{};
    m_name = name;
    m_lastError.clear();
    m_stillQueued = false;
    if (IsPrinterAddress(name)) {
        // The connection's words name the address already.
        Result<PrinterAddress> address = ParsePrinterAddress(name);
        if (!address) {
            m_lastError = address.Reason();
            return 0;
        }
        Result<std::unique_ptr<PrinterConnection>> connection = ConnectPrinter(address.Value());
        if (!connection) {
            m_lastError = connection.Reason();
            return 0;
        }
        m_direct = std::move(connection).Value();
        return 1;
    }
    Result<std::unique_ptr<SpoolerQueue>> queue = m_spooler.Open(name, QueueAccess::Plain);
    if (!queue) {
        NoteFailure(queue.Reason(), "the printer could not be opened");
        return 0;
    }
    if (const Result<void> started =
            queue.Value()->StartRawJob(m_docInfo.docName, m_docInfo.dataType);
        !started) {
        NoteFailure(started.Reason(), "the printer did not start the document");
        return 0; // the queue closes here, once
    }
    m_queue = std::move(queue).Value();
    return 1;
}

int CPrinterChannel::WriteRawBytes(std::span<const uint8_t> bytes) {
    if (bytes.empty()) {
        return 1;
    }
    if (m_direct) {
        if (const Result<void> sent = m_direct->Send(bytes); !sent) {
            m_lastError = sent.Reason();
            return 0;
        }
        return 1;
    }
    if (!m_queue) {
        NoteFailure({}, "no document is open");
        return 0;
    }
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (const Result<void> written = m_queue->Write(bytes.subspan(i, 1)); !written) {
            NoteFailure(written.Reason(), "the spooler refused the bytes");
            return 0;
        }
    }
    return 1;
}

int CPrinterChannel::CloseLogoDocument() {
    if (m_direct) {
        const Result<void> finished = m_direct->Finish();
        m_direct.reset();
        if (!finished) {
            m_lastError = finished.Reason();
        }
        return finished ? 1 : 0;
    }
    if (!m_queue) {
        NoteFailure({}, "no document is open");
        return 0;
    }
    const Result<void> ended = m_queue->EndJob();
    m_stillQueued = !ended && ended.Code() == kSpoolerJobQueued;
    if (!ended) {
        NoteFailure(ended.Reason(), "the spooler did not take the whole document");
    }
    m_queue.reset();
    return ended ? 1 : 0;
}

Result<bool> CPrinterChannel::AwaitStatus(std::chrono::milliseconds wait, bool star,
                                          std::string* offline) {
    if (!m_direct) {
        return false;
    }
    // A Star printer takes DLE EOT for a command it does not know.
    if (Result<void> sent =
            m_direct->Send(star ? StarStatusRequest() : StatusRequest(StatusQuery::Printer));
        !sent) {
        return Result<bool>::FailAs(sent);
    }
    ReplyReader reader(ShapeOf(StatusQuery::Printer));
    StarStatusReader starReader;
    const auto now = std::chrono::steady_clock::now;
    const auto deadline = now() + wait;
    // While a Star printer says it is off-line, when to ask it again (the
    // deadline while it does not).
    auto askAgain = deadline;
    std::vector<uint8_t> got;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::min(askAgain, deadline) - now());
        if (now() >= deadline) {
            return false;
        }
        if (now() >= askAgain) {
            askAgain = deadline;
            if (Result<void> sent = m_direct->Send(StarStatusRequest()); !sent) {
                return Result<bool>::FailAs(sent);
            }
            continue;
        }
        got.clear();
        if (Result<void> r = m_direct->Receive(got, std::max(left, std::chrono::milliseconds(1)));
            !r) {
            return Result<bool>::FailAs(r);
        }
        if (star) {
            starReader.Feed(got);
            while (const std::optional<StarStatus> status = starReader.Reply()) {
                if (!status->Offline()) {
                    return true;
                }
                if (offline != nullptr) {
                    offline->clear();
                    for (const std::string& condition : status->Conditions()) {
                        offline->append(offline->empty() ? "" : ", ").append(condition);
                    }
                }
                askAgain = now() + kStarOfflineAskEvery;
            }
            continue;
        }
        reader.Feed(got);
        if (reader.Reply()) {
            return true;
        }
    }
}

void CPrinterChannel::CancelLogoDocument() {
    m_direct.reset();
    if (!m_queue) {
        return;
    }
    m_queue->CancelJob();
    m_queue.reset();
}

} // namespace tessaline
