// SPDX-License-Identifier: MIT
#include "printer/LogoCommands.h"

namespace tessaline {

std::string_view LogoCommandsName(LogoLanguage commands) {
    switch (commands) {
    case LogoLanguage::StarLine:
        return "star-line";
    case LogoLanguage::StarPrnt:
        return "star-prnt";
    case LogoLanguage::EscPos:
        break;
    }
    return "esc-pos";
}

std::optional<LogoLanguage> ParseLogoCommands(std::string_view name) {
    for (const LogoLanguage commands :
         {LogoLanguage::EscPos, LogoLanguage::StarLine, LogoLanguage::StarPrnt}) {
        if (name == LogoCommandsName(commands)) {
            return commands;
        }
    }
    return std::nullopt;
}

std::string NumberedLogoRefusal(const std::string& printer, LogoLanguage commands) {
    if (commands != LogoLanguage::StarPrnt) {
        return {};
    }
    return "the printer \"" + printer +
           "\" speaks StarPRNT, which keeps its logos by key, not by number: store them as NV "
           "graphics (nv store)";
}

} // namespace tessaline
