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
// `tessaline-cli printers` and `tessaline-cli vprinter list`.
std::string CompletionScript(const std::string& shell, const std::vector<CliCommand>& commands);

} // namespace tessaline
