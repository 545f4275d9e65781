// SPDX-License-Identifier: MIT
#include "printer/PrinterLink.h"

#include "platform/PrinterAddress.h"
#include "printer/PrinterOperation.h"
#include "printer/PrinterReport.h"

namespace tessaline {

Result<void> PrinterLink::Open(const Spooler& spooler, const std::string& name,
                               const std::string& jobName, const LinkTimeouts& timeouts) {
    m_printer = name;
    if (m_printer.empty()) {
        return Result<void>::Fail("no printer name was given", kPrinterNotInstalled);
    }
    if (!IsPrinterAddress(m_printer)) {
        if (Result<void> listed = FindListedQueue(spooler, m_printer); !listed) {
            return Result<void>::Fail(listed.Reason(), listed.CodeOr(kPrinterNotInstalled));
        }
        auto queue = spooler.Open(m_printer, QueueAccess::Plain);
        Result<void> started =
            queue ? queue.Value()->StartRawJob(jobName, "RAW") : Result<void>::FailAs(queue);
        if (!started) {
            std::string why = "\"";
            why += m_printer;
            why += "\": ";
            why += started.Reason();
            return Result<void>::Fail(std::move(why), kPrinterNotStarted);
        }
        m_queue = std::move(queue.Value());
        return {};
    }
    Result<PrinterAddress> address = ParsePrinterAddress(m_printer);
    if (address && (timeouts.connect || timeouts.read)) {
        address = ParsePrinterAddress(
            WithTimeouts(m_printer, timeouts.connect.value_or(address.Value().connectTimeout),
                         timeouts.read.value_or(address.Value().readTimeout)));
    }
    if (!address) {
        return Result<void>::Fail(address.Reason(), kPrinterNotInstalled);
    }
    auto connection = ConnectPrinter(address.Value());
    if (!connection) {
        return Result<void>::Fail(connection.Reason(), kPrinterNotStarted);
    }
    m_connection = std::move(connection.Value());
    m_writeWait = timeouts.read ? std::chrono::milliseconds(0) : kNvWriteAnswerWait;
    return {};
}

Result<void> PrinterLink::Send(std::span<const uint8_t> bytes) {
    return m_queue ? m_queue->Write(bytes) : m_connection->Send(bytes);
}

Result<void> PrinterLink::Finish() {
    return m_queue ? m_queue->EndJob() : m_connection->Finish();
}

} // namespace tessaline
