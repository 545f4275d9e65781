// SPDX-License-Identifier: MIT
// The command language each printer takes its logos in ("esc-pos",
// "star-line", "star-prnt"), as the user set it: one line a printer,
// NAME TAB LANGUAGE, in the file "printer-commands" of the user's settings
// folder. A printer not listed takes ESC/POS.
#pragma once

#include "base/Result.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tessaline {

// TessalineConfigHome() / "printer-commands".
std::filesystem::path PrinterCommandsFile();

// The paper width each queue is kept with (tessaline-cli printers
// --set-paper-width), in dots: TessalineConfigHome() / "printer-paper", one
// line a queue, NAME TAB DOTS, as the command languages are kept.
std::filesystem::path PrinterPaperFile();

// The language kept for `printer` (names compare exactly); nothing when none
// is kept; the reason when the file cannot be read.
Result<std::optional<std::string>> KeptPrinterCommands(const std::filesystem::path& file,
                                                       std::string_view printer);
// Keeps `commands` for `printer`, replacing the file whole; an empty
// `commands` forgets the printer. A name with a tab or line end is refused.
Result<void> KeepPrinterCommands(const std::filesystem::path& file, std::string_view printer,
                                 std::string_view commands);

// The same for any one-line value kept per printer in a file of that form.
Result<std::optional<std::string>> KeptPrinterValue(const std::filesystem::path& file,
                                                    std::string_view printer);
Result<void> KeepPrinterValue(const std::filesystem::path& file, std::string_view printer,
                              std::string_view value);

} // namespace tessaline
