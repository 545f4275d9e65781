// SPDX-License-Identifier: MIT
#include "PrintStream.h"
#include "printer/PrinterMethods.h"
#include "printer/StarLine.h"

namespace tessaline {

namespace {

constexpr int32_t kPrintSelector = 0;
constexpr int32_t kEraseSelector = 3;
constexpr int32_t kEraseArgument = 1000; // first = mode = 1000 makes the stream erase

} // namespace

Result<void> Print(const PrinterContext& context, int32_t Printer, const std::string& PrinterName,
                   int32_t Range, int32_t Mode, int32_t lngEnd) {
    PrinterOperation operation;
    operation.edit = DriverConfigEdit::Enable;
    int32_t first = Range;
    int32_t mode = Mode;
    if (Printer == kEraseSelector) {
        first = kEraseArgument;
        mode = kEraseArgument;
        operation.edit = DriverConfigEdit::Disable;
        operation.nvWrites = {1, "erase of every NV bit image", kHoldsNone, {}};
    }
    // The printer's language picks the stream; ESC/POS printers get the bytes they always did.
    const Result<LogoLanguage> commands = LogoCommandsOf(context, PrinterName);
    const bool star = commands.Ok() && commands.Value() == LogoLanguage::StarLine;
    operation.editDriver = commands.Ok() && commands.Value() == LogoLanguage::EscPos;
    if (Printer == kEraseSelector && star) {
        // Star Line Mode erases by registering a blank logo: through an
        // address, the printer is asked as after an upload whether it is back.
        operation.awaitNvWrite = true;
        operation.starStatus = true;
    }
    if (Printer == kPrintSelector || Printer == kEraseSelector) {
        operation.check = [&commands, &PrinterName, first, mode, lngEnd] {
            if (!commands) {
                return commands.Reason();
            }
            if (std::string why = NumberedLogoRefusal(PrinterName, commands.Value());
                !why.empty()) {
                return why;
            }
            return PrintRequestRefusal(first, mode, lngEnd);
        };
        operation.stream = [&context, star, first, mode, lngEnd](CPrinterChannel& channel,
                                                                 std::string& refusal) {
            refusal = PrintRequestRefusal(first, mode, lngEnd);
            if (star) {
                const auto stream = BuildStarPrintStream(first, mode, lngEnd);
                return stream ? WriteCommands(channel, stream.Value(), context.progress)
                              : StreamResult::Refused;
            }
            return WritePrintStream(channel, first, mode, lngEnd, context.progress);
        };
    }
    return RunPrinterOperation(context, PrinterName, operation);
}

} // namespace tessaline
