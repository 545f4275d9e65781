// SPDX-License-Identifier: MIT
#include "printer/PrinterOperation.h"

namespace tessaline {

namespace {

int32_t RunFrame(const PrinterContext& context, const std::string& printerName,
                 const PrinterOperation& operation, std::string& why) {
    CPrinterChannel channel(context.spooler);
    // Every installed name begins with the empty one, yet it names none of them.
    if (printerName.empty()) {
        why = "no printer name was given";
        return kPrinterNotInstalled;
    }
    // A printer reached by its address has no queue to look up and no driver
    // whose record could be edited.
    const bool direct = IsPrinterAddress(printerName);
    if (direct) {
        if (Result<PrinterAddress> address = ParsePrinterAddress(printerName); !address) {
            why = address.Reason();
            return kPrinterNotInstalled;
        }
    } else if (channel.CountInstalledPrinters(printerName, context.message) == 0) {
        why = "the printer \"" + printerName + "\" is not installed";
        return kPrinterNotInstalled;
    }
    if (operation.check) {
        if (why = operation.check(); !why.empty()) {
            return kPrinterRefused;
        }
    }
    if (!channel.OpenLogoDocument(printerName)) {
        why = channel.LastError();
        return kPrinterNotStarted;
    }
    const StreamResult sent =
        operation.stream ? operation.stream(channel, why) : StreamResult::Empty;
    if (sent == StreamResult::WriteFailed || sent == StreamResult::Refused) {
        if (sent == StreamResult::WriteFailed) {
            why = channel.LastError();
        }
        // Whatever part of a command went out must not reach the printer.
        channel.CancelLogoDocument();
        return sent == StreamResult::Refused ? kPrinterRefused : kPrinterNotSent;
    }
    if (!channel.CloseLogoDocument()) {
        why = channel.LastError();
        return kPrinterNotSent;
    }
    if (direct) {
        return kPrinterOk;
    }
    const int32_t edited = UpdateDriverConfig(context.spooler, printerName, operation.edit);
    if (edited == kPrinterNoMemory) {
        why = "no memory for the printer's driver record";
    }
    return edited;
}

} // namespace

int32_t RunPrinterOperation(const PrinterContext& context, const std::string& printerName,
                            const PrinterOperation& operation) {
    std::string why;
    const int32_t result = RunFrame(context, printerName, operation, why);
    if (context.failure != nullptr) {
        *context.failure = result == kPrinterOk ? std::string() : why;
    }
    return result;
}

} // namespace tessaline
