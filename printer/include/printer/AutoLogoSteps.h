// SPDX-License-Identifier: MIT
// The automatic logo on one printer: read what it prints by itself, or set
// it and read it back. tessaline-cli nv auto, the control's SetAutoLogo and
// AutoLogo, and apply take their steps here.
#pragma once

#include "base/Result.h"
#include "platform/connection/PrinterConnection.h"
#include "printer/AutoLogo.h"
#include "printer/GraphicSteps.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tessaline {

// What a printer said to function 61 for both logos.
struct AutoLogoAnswer {
    enum class Kind {
        Read,       // `settings` holds what it said
        Unanswered, // no reply within the wait: a printer without the function
        Unreadable, // a reply came that could not be read; `why` says how
    };
    Kind kind = Kind::Unanswered;
    AutoLogoSettings settings;
    std::string why;
};

// Asks the top logo's settings, then the bottom's, each within the read
// timeout (the first within `firstWait` when that is longer: a printer still
// writing its NV memory answers once it is done). Fails only when the
// connection does.
Result<AutoLogoAnswer> AskAutoLogo(PrinterConnection& connection,
                                   std::chrono::milliseconds firstWait = {});

// How a change is known to have taken.
enum class AutoLogoCheck {
    Verified,    // read back, and the printer holds what was asked
    NotReadBack, // the printer answered, but not in a way that could be read
    Unanswered,  // the printer does not answer function 61, or a file
    Blind,       // a spooler queue, which carries no answer back
};

// What a read or a change did. `result` is a printer result: kPrinterOk;
// kPrinterNotInstalled (no queue of that name, an address that does not
// read); kPrinterNotStarted (not reached); kPrinterNotSent (the bytes or a
// question failed; or a queue or a printer that does not answer was asked
// what it holds); kPrinterNotKept (the read-back shows other settings).
struct AutoLogoOutcome {
    int32_t result = kPrinterOk;
    // Why it failed; after kPrinterOk, why it is not verified (empty when it is).
    std::string why;
    AutoLogoCheck check = AutoLogoCheck::Verified;
    // What the printer held before a change, when it said.
    std::optional<AutoLogoSettings> before;
    // What it holds now, when it said.
    std::optional<AutoLogoSettings> after;
    // The NV writes sent (each 60, 62 and 63 is one).
    int32_t writes = 0;
    // Keys asked for that the printer's key list lacks, when it answered one:
    // it prints nothing for them until they are stored.
    std::vector<GraphicKey> missingKeys;
};

// Reads what the printer prints by itself. Only an address that answers can be asked.
AutoLogoOutcome ReadAutoLogoStep(const GraphicsPrinter& printer);
// Leaves the printer printing `wanted` by itself (`wanted` empty: nothing),
// writing only the logos that differ from what it holds, then reads it back.
AutoLogoOutcome SetAutoLogoStep(const GraphicsPrinter& printer, const AutoLogoSettings& wanted);

} // namespace tessaline
