// SPDX-License-Identifier: MIT
#pragma once

#include "Options.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace tessaline {

struct PrinterProfile;

// profiles' options and help.
const std::vector<CliCommand>& ProfilesCommandSpecs();

// `tessaline-cli profiles [MODEL] [--json]`: the printer profiles, or one.
int ProfilesCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// "Epson TM-T88V (epson-tm-t88v)": a profile as the other commands name it.
std::string ProfileLabel(const PrinterProfile& profile);

} // namespace tessaline
