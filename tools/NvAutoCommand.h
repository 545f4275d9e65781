// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tessaline {

struct CliEnvironment;
struct CliCommand;

// nv auto's options and words, for its parser, the manual and the completions.
const CliCommand& NvAutoCommandSpec();

// `tessaline-cli nv auto PRINTER [--top KEY] [--bottom KEY] [--align A] [--off]`:
// shows, sets or clears the logos the printer prints by itself on every
// receipt. `args` start after the word "auto". Returns the exit status.
int NvAutoCommand(const std::vector<std::string>& args, const CliEnvironment& env,
                  std::ostream& out, std::ostream& err);

} // namespace tessaline
