// SPDX-License-Identifier: MIT
// What the printer box of the "Printers" tab holds: an installed queue, or a
// printer reached by its address, as the user typed or picked it.
#pragma once

#include "base/Result.h"

#include <string>
#include <string_view>
#include <vector>

namespace tessaline {

struct PrinterChoice {
    // The queue's name, or the address as the program uses it ("socket://10.1.0.5:9100").
    std::string name;
    bool queue = false;
};

// Reads what was typed: the name of an installed queue as it stands; an
// address holding "://" as the command line reads it; a bare host
// ("10.1.0.5", "till-3:9101", "[::1]") as socket://HOST, port 9100 unless
// given. Refused with the address reader's words, or saying the name is
// neither a queue nor an address.
Result<PrinterChoice> ReadPrinterChoice(std::string_view typed,
                                        const std::vector<std::string>& queues);

// The printer box's entries: the queues in the spooler's order, then the
// addresses used before, most recent first, none twice.
std::vector<std::string> PrinterEntries(const std::vector<std::string>& queues,
                                        const std::vector<std::string>& addresses);

} // namespace tessaline
