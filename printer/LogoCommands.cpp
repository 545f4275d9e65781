// SPDX-License-Identifier: MIT
#include "printer/LogoCommands.h"

namespace tessaline {

std::string_view LogoCommandsName(LogoCommands commands) {
    switch (commands) {
    case LogoCommands::StarLine:
        return "star-line";
    case LogoCommands::StarPrnt:
        return "star-prnt";
    case LogoCommands::EscPos:
        break;
    }
    return "esc-pos";
}

std::optional<LogoCommands> ParseLogoCommands(std::string_view name) {
    for (const LogoCommands commands :
         {LogoCommands::EscPos, LogoCommands::StarLine, LogoCommands::StarPrnt}) {
        if (name == LogoCommandsName(commands)) {
            return commands;
        }
    }
    return std::nullopt;
}

std::string NumberedLogoRefusal(const std::string& printer, LogoCommands commands) {
    if (commands != LogoCommands::StarPrnt) {
        return {};
    }
    return "the printer \"" + printer +
           "\" speaks StarPRNT, which keeps its logos by key, not by number: store them as NV "
           "graphics (nv store)";
}

} // namespace tessaline
