// SPDX-License-Identifier: MIT
// The command language a printer takes its logos in. Upload and Print send
// ESC/POS unless the control's host says the printer is a Star one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessaline {

enum class LogoLanguage { EscPos, StarLine, StarPrnt };

// "esc-pos", "star-line", "star-prnt".
std::string_view LogoCommandsName(LogoLanguage commands);
// The language of such a name; nothing for any other text.
std::optional<LogoLanguage> ParseLogoCommands(std::string_view name);

// Why a numbered logo (upload, print, erase) cannot go to `printer` in
// `commands`: StarPRNT keeps its logos by key. Empty when it can.
std::string NumberedLogoRefusal(const std::string& printer, LogoLanguage commands);

} // namespace tessaline
