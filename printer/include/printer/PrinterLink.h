// SPDX-License-Identifier: MIT
// One way to a printer for a step that may ask it: a spooler queue (one raw
// job, which carries bytes one way) or a printer reached by its address,
// asked while it answers. The NV graphics and automatic-logo steps reach
// their printers through it.
#pragma once

#include "base/Result.h"
#include "platform/Spooler.h"
#include "platform/connection/PrinterConnection.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace tessaline {

// Timeouts that replace an address's own; none: the address's.
struct LinkTimeouts {
    std::optional<std::chrono::milliseconds> connect;
    std::optional<std::chrono::milliseconds> read;
};

class PrinterLink {
public:
    // Opens the queue of exactly `name` (as its spooler compares names) with a
    // raw job called `jobName`, or connects to the address `name`. Fails with
    // kPrinterNotInstalled (no name, no such queue, a malformed address) or
    // kPrinterNotStarted (the job or the connection refused), and why.
    Result<void> Open(const Spooler& spooler, const std::string& name, const std::string& jobName,
                      const LinkTimeouts& timeouts = {});

    bool Spooled() const { return m_queue != nullptr; }
    // An address whose device sends answers back (a file or a one-way port does not).
    bool CanAnswer() const { return m_connection && m_connection->CanAnswer(); }
    // The open address's connection; only when not Spooled().
    PrinterConnection& Connection() { return *m_connection; }
    const std::string& Printer() const { return m_printer; }
    // How long an answer after an NV write may take, beyond the read timeout:
    // none when the caller chose the read timeout, which then holds.
    std::chrono::milliseconds WriteWait() const { return m_writeWait; }

    Result<void> Send(std::span<const uint8_t> bytes);
    // Ends the queue's job, or the address's connection once its bytes are out.
    Result<void> Finish();

private:
    std::string m_printer;
    std::unique_ptr<PrinterConnection> m_connection;
    std::unique_ptr<SpoolerQueue> m_queue;
    std::chrono::milliseconds m_writeWait{0};
};

} // namespace tessaline
