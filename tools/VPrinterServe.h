// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace tessaline {

struct CliEnvironment;

// `vprinter serve NAME --listen HOST:PORT`: serves the installed virtual
// printer on TCP, one connection after another, until SIGINT or SIGTERM.
// Returns the exit status.
int ServeVirtualPrinter(const std::string& name, const std::string& listen,
                        const CliEnvironment& env, std::ostream& out, std::ostream& err);

// How the printers of `serve --count` are spread: over consecutive ports of
// one address, or over consecutive addresses on one port (127.0.0.1,
// 127.0.0.2, ...).
enum class ServeSpread { Ports, Addresses };

// `vprinter serve NAME --count N`: serves NAME-1 ... NAME-N from one process,
// each added with NAME's settings when it is not there yet; count 0 serves
// NAME alone. The first listens on `listen`, the others on the ports or
// addresses after it (port 0: each on a free port of its own).
int ServeVirtualPrinters(const std::string& name, const std::string& listen, uint32_t count,
                         ServeSpread spread, const CliEnvironment& env, std::ostream& out,
                         std::ostream& err);

// The name of printer `number` (from 1) of NAME's fleet: "NAME-7".
std::string FleetPrinterName(const std::string& name, uint32_t number);

} // namespace tessaline
