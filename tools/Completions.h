// SPDX-License-Identifier: MIT
// Shell completions for tessaline-cli, written from the commands' option
// tables, so that they name exactly the options the parsers take.
#pragma once

#include "Options.h"

#include <string>
#include <vector>

namespace tessaline {

// The completion script for `shell` ("bash", "zsh" or "fish") over `commands`;
// empty for another shell. Printer names are asked for live, of
// `tessaline-cli printers` and `tessaline-cli vprinter list`. "man" gives
// ManualOptions.
std::string CompletionScript(const std::string& shell, const std::vector<CliCommand>& commands);

// The man page's OPTIONS section, every command's options from its table,
// between the two marker lines below (the page holds it as written here;
// scripts/update-manual.py puts it back after a table changes).
std::string ManualOptions(const std::vector<CliCommand>& commands);
inline constexpr const char* kManualOptionsBegin =
    ".\\\" OPTIONS: written by tessaline-cli completion man from the option tables";
inline constexpr const char* kManualOptionsEnd = ".\\\" end of OPTIONS";

} // namespace tessaline
