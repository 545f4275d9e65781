// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"
#include "platform/PrinterAddress.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace tessaline {

// A printer reached directly, both ways where the device answers. Every
// failure names the address and gives the system's reason.
class PrinterConnection {
public:
    explicit PrinterConnection(PrinterAddress address) : m_address(std::move(address)) {}
    virtual ~PrinterConnection() = default;
    PrinterConnection(const PrinterConnection&) = delete;
    PrinterConnection& operator=(const PrinterConnection&) = delete;

    // Hands every byte to the printer. A printer that stops taking bytes (busy
    // writing its memory) fails this only once it took none for the read timeout.
    virtual Result<void> Send(std::span<const uint8_t> bytes) = 0;
    // Appends what the printer sent within `wait`; nothing is no failure.
    virtual Result<void> Receive(std::vector<uint8_t>& into, std::chrono::milliseconds wait) = 0;
    // Ends the job with every byte handed over (a file address: the file is
    // replaced now). Destroying a connection without it abandons the job.
    virtual Result<void> Finish() = 0;
    // False for a device that can never answer (a file).
    virtual bool CanAnswer() const { return true; }

    const PrinterAddress& Address() const { return m_address; }

protected:
    // "<address>: <what>".
    std::string Failure(const std::string& what) const { return m_address.text + ": " + what; }

private:
    PrinterAddress m_address;
};

// Opens the printer at the address within its connect timeout.
Result<std::unique_ptr<PrinterConnection>> ConnectPrinter(const PrinterAddress& address);

// The system's reason in the words of a message ("connection refused").
std::string ReasonText(std::string message);

} // namespace tessaline
