// SPDX-License-Identifier: MIT
#pragma once

#include "Options.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace tessaline {

struct CliEnvironment;

// apply's options and help.
const std::vector<CliCommand>& ApplyCommandSpecs();

// `tessaline-cli apply MANIFEST [--plan] [--jobs N] [--json] [--state FILE]
// [--max-writes N]`: makes every printer of the manifest hold its logos,
// writing only what differs. Returns the exit status.
int ApplyCommand(const std::vector<std::string>& args, const CliEnvironment& env, std::ostream& out,
                 std::ostream& err);

} // namespace tessaline
