// SPDX-License-Identifier: MIT
#include "UploadStream.h"
#include "imaging/CLogoImage.h"
#include "printer/PrinterMethods.h"

namespace tessaline {

namespace {

Result<void> UploadImagesTo(const PrinterContext& context, int32_t Printer,
                            const std::string& PrinterName, UploadImages& images) {
    PrinterOperation operation;
    operation.edit = DriverConfigEdit::Enable;
    // The printer's language picks the stream; ESC/POS printers get the bytes they always did.
    const Result<LogoLanguage> commands = LogoCommandsOf(context, PrinterName);
    const bool star = commands.Ok() && commands.Value() == LogoLanguage::StarLine;
    operation.editDriver = commands.Ok() && commands.Value() == LogoLanguage::EscPos;
    if (Printer == 0) {
        const size_t count = images.Count();
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

} // namespace

Result<void> Upload(const PrinterContext& context, int32_t Printer, const std::string& PrinterName,
                    const std::string& NVImage, int32_t ImageMode, int32_t Brightness) {
    // Each file is checked before the document opens, so a bad list sends
    // nothing rather than a partial definition, and converted on worker
    // threads while the stream is written.
    UploadImages images(Printer == 0 ? SplitNVImage(NVImage) : std::vector<std::string>(),
                        ImageMode, ClampBrightness(Brightness), context.writePicture);
    return UploadImagesTo(context, Printer, PrinterName, images);
}

Result<void> UploadLogos(const PrinterContext& context, const std::string& PrinterName,
                         std::vector<LogoInMemory> logos, int32_t ImageMode, int32_t Brightness) {
    std::vector<std::string> names;
    std::vector<std::vector<uint8_t>> files;
    for (LogoInMemory& logo : logos) {
        names.push_back(std::move(logo.name));
        files.push_back(std::move(logo.bytes));
    }
    UploadImages images(std::move(names), std::move(files), ImageMode, ClampBrightness(Brightness),
                        context.writePicture);
    return UploadImagesTo(context, 0, PrinterName, images);
}

} // namespace tessaline
