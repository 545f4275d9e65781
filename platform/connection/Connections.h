// SPDX-License-Identifier: MIT
#pragma once

#include "platform/connection/PrinterConnection.h"

namespace tessaline {

// One opener per kind of address; each fails naming the address.
Result<std::unique_ptr<PrinterConnection>> OpenSocketPrinter(const PrinterAddress& address);
Result<std::unique_ptr<PrinterConnection>> OpenSerialPrinter(const PrinterAddress& address);
Result<std::unique_ptr<PrinterConnection>> OpenUsbPrinter(const PrinterAddress& address);

} // namespace tessaline
