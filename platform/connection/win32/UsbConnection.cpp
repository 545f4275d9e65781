// SPDX-License-Identifier: MIT
#include "../Connections.h"

namespace tessaline {

Result<std::unique_ptr<PrinterConnection>> OpenUsbPrinter(const PrinterAddress& address) {
    // Windows reaches USB printers through their queue, or their virtual COM port.
    return Result<std::unique_ptr<PrinterConnection>>::Fail(
        address.text + ": usb: addresses name Linux devices; on Windows use the printer's "
                       "queue or its serial://COMn port");
}

} // namespace tessaline
