// SPDX-License-Identifier: MIT
// Working on part of a fleet: the printers picked by name or address, or those
// the last run left failed or refused.
#pragma once

#include "base/Result.h"
#include "fleet/FleetState.h"
#include "fleet/Manifest.h"

#include <string>
#include <string_view>
#include <vector>

namespace tessaline {

// True when `text` matches the shell-style `pattern`: * any run of
// characters, ? one character, [abc], [a-z] and [!abc] one of a set (or not
// of it), \x the character x itself.
bool GlobMatches(std::string_view pattern, std::string_view text);

struct PrinterSelection {
    // Patterns for a printer's name or address ("socket://127.0.0.5:9100",
    // "127.0.0.5:9100" or a bare "127.0.0.5"); empty: every printer.
    std::vector<std::string> only;
    // Only the printers `last` records as failed or refused.
    bool failed = false;
    const FleetState* last = nullptr;
};

// `manifest` with only the printers `selection` picks, in its order. Fails
// naming the first pattern that matches no printer of the manifest.
Result<Manifest> SelectPrinters(const Manifest& manifest, const PrinterSelection& selection);

} // namespace tessaline
