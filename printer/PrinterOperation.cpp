#include "PrinterOperation.h"

namespace tessaline {

int32_t RunPrinterOperation(const PrinterContext& context, const std::string& printerName,
                            const PrinterOperation& operation) {
    CPrinterChannel channel(context.spooler);
    if (channel.CountInstalledPrinters(printerName, context.message) == 0) {
        return kPrinterNotInstalled;
    }
    if (operation.check) {
        if (const int32_t refused = operation.check(); refused != kPrinterOk) {
            return refused;
        }
    }
    if (!channel.OpenLogoDocument(printerName)) {
        return kPrinterNotStarted;
    }
    const StreamResult sent = operation.stream ? operation.stream(channel) : StreamResult::Empty;
    if (sent == StreamResult::WriteFailed || sent == StreamResult::Refused) {
        // Whatever part of a command went out must not reach the printer.
        channel.CancelLogoDocument();
        return sent == StreamResult::Refused ? kPrinterRefused : kPrinterNotSent;
    }
    if (!channel.CloseLogoDocument()) {
        return kPrinterNotSent;
    }
    return UpdateDriverConfig(context.spooler, printerName, operation.edit);
}

} // namespace tessaline
