// SPDX-License-Identifier: MIT
// The virtual printer as a Star printer: Star Line Mode (logos registered all
// at once with ESC FS q, printed with ESC FS p) or StarPRNT (NV graphics by
// key with ESC GS ( L), text, bar codes, QR codes and cuts drawn as the
// ESC/POS emulator draws them, into the same NV memory and paper.
#pragma once

#include "escpos/EscPosEmulator.h"

#include <optional>
#include <span>
#include <string_view>

namespace tessaline {

// "esc-pos", "star-line", "star-prnt".
std::string_view PrinterLanguageName(PrinterLanguage language);
// The language of such a name; nothing for any other text.
std::optional<PrinterLanguage> ParsePrinterLanguage(std::string_view name);

// Interprets one job as a Star printer of the model's language (StarLine or
// StarPrnt) does, as RunJob does for ESC/POS. ESC/POS commands in it (GS,
// DLE EOT, FS p, FS q) are counted in the outcome's `foreign`.
JobOutcome RunStarJob(const PrinterModel& model, NvMemory& memory, std::span<const uint8_t> job,
                      std::string_view today, MonoPicture uncut = {});

// The job in the model's own language: RunJob for ESC/POS, RunStarJob for Star.
JobOutcome RunLanguageJob(const PrinterModel& model, NvMemory& memory, std::span<const uint8_t> job,
                          std::string_view today, MonoPicture uncut = {});

// Why the outcome is not drawn: "not understood: ..." with the figures when
// the job holds commands of another language; empty when it holds none.
std::string NotUnderstoodReason(const PrinterModel& model, const JobOutcome& outcome,
                                size_t jobBytes);

} // namespace tessaline
