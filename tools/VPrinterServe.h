// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>
#include <string>

namespace tessaline {

struct CliEnvironment;

// `vprinter serve NAME --listen HOST:PORT`: serves the installed virtual
// printer on TCP, one connection after another, until SIGINT or SIGTERM.
// Returns the exit status.
int ServeVirtualPrinter(const std::string& name, const std::string& listen,
                        const CliEnvironment& env, std::ostream& out, std::ostream& err);

} // namespace tessaline
