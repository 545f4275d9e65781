// SPDX-License-Identifier: MIT
#pragma once

#include "Options.h"

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

} // namespace tessaline
