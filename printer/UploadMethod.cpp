// SPDX-License-Identifier: MIT
#include "UploadStream.h"
#include "imaging/CLogoImage.h"
#include "printer/PrinterMethods.h"

namespace tessaline {

Result<void> Upload(const PrinterContext& context, int32_t Printer, const std::string& PrinterName,
                    const std::string& NVImage, int32_t ImageMode, int32_t Brightness) {
    PrinterOperation operation;
    operation.edit = DriverConfigEdit::Enable;
    const int32_t brightness = ClampBrightness(Brightness);
    // Each file is read once: checked before the document opens, so a bad
    // list sends nothing rather than a partial definition, and converted on
    // worker threads while the stream is written.
    UploadImages images(Printer == 0 ? SplitNVImage(NVImage) : std::vector<std::string>(),
                        ImageMode, brightness, context.writePicture);
    // The printer's language picks the stream; ESC/POS printers get the bytes they always did.
    const Result<LogoLanguage> commands = LogoCommandsOf(context, PrinterName);
    const bool star = commands.Ok() && commands.Value() == LogoLanguage::StarLine;
    operation.editDriver = commands.Ok() && commands.Value() == LogoLanguage::EscPos;
    if (Printer == 0) {
        const size_t count = SplitNVImage(NVImage).size();
        operation.nvWrites = {1,
                              "upload of " + std::to_string(count) + " NV bit image" +
                                  (count == 1 ? "" : "s"),
                              kHoldsBitImages,
                              {}};
        operation.awaitNvWrite = true;
        operation.starStatus = star;
        operation.check = [&] {
            if (!commands) {
                return commands.Reason();
            }
            if (std::string why = NumberedLogoRefusal(PrinterName, commands.Value());
                !why.empty()) {
                return why;
            }
            return images.Check();
        };
        operation.stream = [&, star](CPrinterChannel& channel, std::string& refusal) {
            std::vector<int32_t> widths;
            const StreamResult sent = WriteUploadStream(channel, images, context.progress,
                                                        context.sleep, &refusal, star, &widths);
            // Counted once the stream is handed over: what the printer then holds.
            operation.nvWrites.widths.images = std::move(widths);
            return sent;
        };
    }
    return RunPrinterOperation(context, PrinterName, operation);
}

} // namespace tessaline
