// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Spooler.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tessaline::win32 {

// The printers of the Windows print spooler, local ones and connections,
// under the names Windows shows ("THERMAL #1"), in the spooler's order.
// Names and values go through the spooler's ANSI functions: they are in the
// system's ANSI code page, as the control's methods receive them. The driver
// data is the printer's own (GetPrinterData / SetPrinterData).
// Why a job the spooler reports with `status` (JOB_INFO_1's Status) after
// the job's end will not reach the printer: it is in error, deleted or
// blocked; empty while the spooler still means to deliver it. The spooler's
// own words (JOB_INFO_1's pStatus) come first when it gave any.
std::string JobStatusFailure(uint32_t status, std::string_view spoolerWords);

class WinSpoolerBackend final : public SpoolerBackend {
public:
    // EnumPrinters level 2; the status fails when the spooler refuses the
    // enumeration.
    QueueList ListQueues() override;
    // OpenPrinter, plainly or with PRINTER_ALL_ACCESS; fails with the
    // system's words when refused.
    Result<std::unique_ptr<SpoolerQueue>> Open(std::string_view name, QueueAccess access) override;
    // Without regard to case, as the spooler itself compares printer names
    // ("thermal #1" is "THERMAL #1"), character by character, not byte by
    // byte: a second byte of code page 949 may look like an ASCII letter.
    bool NameBeginsWith(std::string_view listed, std::string_view name) const override;
    bool NameIs(std::string_view listed, std::string_view name) const override;
};

} // namespace tessaline::win32
