// SPDX-License-Identifier: MIT
#pragma once

#include "Options.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace tessaline {

struct CliEnvironment;

// status's options and help.
const std::vector<CliCommand>& StatusCommandSpecs();

// `tessaline-cli status PRINTER [--json] [--connect-timeout MS] [--read-timeout MS]`.
int StatusCommand(const std::vector<std::string>& args, const CliEnvironment& env,
                  std::ostream& out, std::ostream& err);

} // namespace tessaline
