// SPDX-License-Identifier: MIT
#include "Connections.h"
#include "platform/AtomicFile.h"

#include <cctype>

namespace tessaline {

namespace {

// The byte export: the job gathers in memory and replaces the file whole
// when it ends, so a failed or abandoned job leaves the old file as it was.
class FileConnection : public PrinterConnection {
public:
    using PrinterConnection::PrinterConnection;

    Result<void> Send(std::span<const uint8_t> bytes) override {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        return {};
    }
    Result<void> Receive(std::vector<uint8_t>&, std::chrono::milliseconds) override { return {}; }
    Result<void> Finish() override {
        if (Result<void> s = ReplaceFileAtomically(Address().device, m_bytes); !s) {
            return Result<void>::Fail(Failure(s.Reason()));
        }
        return {};
    }
    bool CanAnswer() const override { return false; }

private:
    std::vector<uint8_t> m_bytes;
};

} // namespace

std::string ReasonText(std::string message) {
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == '.' || message.back() == ' ')) {
        message.pop_back();
    }
    // "Connection refused" reads as part of a sentence after the address.
    if (message.size() > 1 && std::isupper(static_cast<unsigned char>(message[0])) &&
        std::islower(static_cast<unsigned char>(message[1]))) {
        message[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(message[0])));
    }
    return message;
}

Result<std::unique_ptr<PrinterConnection>> ConnectPrinter(const PrinterAddress& address) {
    switch (address.scheme) {
    case AddressScheme::Socket:
        return OpenSocketPrinter(address);
    case AddressScheme::Serial:
        return OpenSerialPrinter(address);
    case AddressScheme::Usb:
        return OpenUsbPrinter(address);
    case AddressScheme::File:
        break;
    }
    return std::unique_ptr<PrinterConnection>(std::make_unique<FileConnection>(address));
}

} // namespace tessaline
