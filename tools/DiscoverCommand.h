// SPDX-License-Identifier: MIT
#pragma once

#include "Options.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace tessaline {

struct CliEnvironment;

// discover's options and help.
const std::vector<CliCommand>& DiscoverCommandSpecs();

// `tessaline-cli discover [NETWORK...|usb] [--port N] [--timeout MS] [--jobs N] [--json]
// [--manifest FILE]`.
int DiscoverCommand(const std::vector<std::string>& args, const CliEnvironment& env,
                    std::ostream& out, std::ostream& err);

} // namespace tessaline
