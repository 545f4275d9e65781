#include "CLogoImage.h"
#include "PrinterMethods.h"
#include "UploadStream.h"

namespace tessaline {

int32_t Upload(const PrinterContext& context, int32_t Printer, const std::string& PrinterName,
               const std::string& NVImage, int32_t ImageMode, int32_t Brightness) {
    PrinterOperation operation;
    operation.edit = DriverConfigEdit::Enable;
    const int32_t brightness = ClampBrightness(Brightness);
    if (Printer == 0) {
        // Every file is checked before the document opens, so a bad list
        // sends nothing rather than a partial definition.
        operation.check = [&NVImage] { return UploadListRefusal(SplitNVImage(NVImage)); };
        operation.stream = [&](CPrinterChannel& channel, std::string& refusal) {
            return WriteUploadStream(channel, NVImage, ImageMode, brightness, context.progress,
                                     context.sleep, &refusal);
        };
    }
    return RunPrinterOperation(context, PrinterName, operation);
}

} // namespace tessaline
