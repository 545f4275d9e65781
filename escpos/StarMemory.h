// SPDX-License-Identifier: MIT
// The Star emulator's NV memory commands: Star Line Mode's logos (ESC FS q,
// ESC FS p) and StarPRNT's NV graphics (ESC GS ( L, ESC GS 8 L, ESC GS ) L).
#pragma once

#include "ReceiptPaper.h"
#include "escpos/EscPosEmulator.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace tessaline {

// What the commands work on: the job, its outcome and the printer's state.
struct StarMemoryJob {
    const PrinterModel& model;
    NvMemory& memory;
    std::span<const uint8_t> bytes;
    std::string_view today;
    JobOutcome& outcome;
    ReceiptPaper& paper;

    void Log(size_t offset, std::string text) const {
        outcome.log.push_back(LogEntry{offset, std::move(text)});
    }
};

// ESC FS q n at `at`: registers the logos in turn after deleting every logo
// before, as the printer does, so a logo whose parameters are wrong ends the
// registration with the logos before it kept. Returns where the next command starts.
size_t StarRegisterLogos(const StarMemoryJob& job, size_t at);
// ESC FS p n m at `at`: prints logo n.
size_t StarPrintLogo(const StarMemoryJob& job, size_t at);
// ESC GS ( L, ESC GS 8 L (`transmit` false) or ESC GS ) L at `at`.
size_t StarGraphics(const StarMemoryJob& job, size_t at, bool transmit);

} // namespace tessaline
