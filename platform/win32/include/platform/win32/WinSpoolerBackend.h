#pragma once

#include "platform/Spooler.h"

#include <memory>
#include <string>
#include <string_view>

namespace tessaline::win32 {

// The printers of the Windows print spooler, local ones and connections,
// under the names Windows shows ("THERMAL #1"), in the spooler's order.
// Names and values go through the spooler's ANSI functions: they are in the
// system's ANSI code page, as the control's methods receive them. The driver
// data is the printer's own (GetPrinterData / SetPrinterData).
class WinSpoolerBackend final : public SpoolerBackend {
public:
    // EnumPrinters level 2; the status fails when the spooler refuses the
    // enumeration.
    QueueList ListQueues() override;
    // OpenPrinter, plainly or with PRINTER_ALL_ACCESS; fails with the
    // system's words when refused.
    Result<std::unique_ptr<SpoolerQueue>> Open(std::string_view name, QueueAccess access) override;
};

} // namespace tessaline::win32
