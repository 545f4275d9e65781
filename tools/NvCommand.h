// SPDX-License-Identifier: MIT
#pragma once

#include "Options.h"
#include "base/Result.h"
#include "printer/LogoCommands.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace tessaline {

struct CliEnvironment;

// The nv commands' options and help.
const std::vector<CliCommand>& NvCommandSpecs();

// `tessaline-cli nv store|list|print|delete|command ...`: NV graphics by key,
// each step checked against what the printer answers. Returns the exit status.
int NvCommand(const std::vector<std::string>& args, const CliEnvironment& env, std::ostream& out,
              std::ostream& err);

// Why storing logos of the kind `storing` (kHoldsGraphics or kHoldsBitImages)
// in `printer` (`shown` as the user gave it) is refused: the printer records
// every tool shares say it holds the other kind, which the store would erase.
// Empty when nothing recorded stands against it.
std::string OtherLogosRefusal(const CliEnvironment& env, const std::string& printer,
                              const std::string& shown, const char* storing);

// The language `printer` takes its logos in: `given` (--commands), or with
// none the one kept for it, ESC/POS when none is. "auto" takes the one kept
// too; where none is, a printer reached by its address is asked
// (AnsweredLogoLanguage), and failing an answer the profile of the model it
// last answered with decides, then ESC/POS. A language given or found is kept
// for the printer from then on; one other than the one kept is refused with
// the reason, as it would mix two languages on one printer.
Result<LogoLanguage> ChosenLogoLanguage(const std::string* given, const std::string& printer,
                                        const CliEnvironment& env);

} // namespace tessaline
