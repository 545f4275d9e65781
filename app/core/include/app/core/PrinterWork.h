// SPDX-License-Identifier: MIT
// The work of the "Printers" tab that talks to a printer. Each function runs
// to its end on a worker thread and returns what happened; none touches the
// window.
#pragma once

#include "app/core/PrinterChoice.h"
#include "base/Result.h"
#include "platform/DriverLogos.h"
#include "printer/AutoLogo.h"
#include "printer/LogoCommands.h"
#include "printer/NvGraphics.h"
#include "printer/PrinterReport.h"
#include "printer/StarStatus.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaline {

class Spooler;

// What a printer said about itself when asked.
struct PrinterFacts {
    std::string printer;
    // False for a spooler queue or a one-way device: `whyNot` says which.
    bool askable = false;
    std::string whyNot;
    // The connection failed, or the printer answered no question: why.
    std::string failure;
    std::optional<PrinterReport> report;
    // The NV graphics keys, when the printer listed them.
    std::optional<std::vector<GraphicKey>> keys;
    // What it prints by itself (FS ( E 61), when it said.
    std::optional<AutoLogoSettings> autoLogo;
    // The language its logos take: the one it is kept as (tessaline-cli
    // --commands, apply), else the one its recorded model's profile gives,
    // else ESC/POS. A Star printer is asked Star's questions.
    LogoLanguage commands = LogoLanguage::EscPos;
    // A Star printer's automatic status, when it answered one.
    std::optional<StarStatus> starStatus;
    // A queue's driver record: the logo commands its driver sends with every
    // job, when the record could be read.
    std::optional<DriverLogoCommands> driverLogos;
};

// Asks a printer reached by its address its status, identity, NV graphics
// sizes and keys over one connection; says why not for a queue or a file.
// For a queue, reads what its driver record switches on from `spooler`, when given.
PrinterFacts AskPrinterFacts(const PrinterChoice& choice, const Spooler* spooler = nullptr);

// "ready", or "not ready (cover open, paper end)", or why it cannot be told.
std::string ReadinessText(const PrinterFacts& facts, bool korean = false);

// What the test receipt prints: the logo stored under `logo` when given,
// the printer's name and model, the date, and a QR code of the printer's name.
struct TestReceipt {
    std::string printer;
    std::string model;
    std::string date;
    std::optional<GraphicKey> logo;
};
// ESC @, the logo, the lines of text (characters outside ASCII as "?"), the
// QR code (GS ( k, model 2), a feed and a partial cut.
std::vector<uint8_t> TestReceiptBytes(const TestReceipt& receipt);

// Sends bytes as one job: a queue's raw job "Test receipt", or the address's
// connection. Nothing can say whether it printed: success means sent.
Result<void> SendToPrinter(const Spooler& spooler, const PrinterChoice& choice,
                           const std::vector<uint8_t>& bytes);

} // namespace tessaline
