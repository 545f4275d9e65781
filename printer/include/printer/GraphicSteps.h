// SPDX-License-Identifier: MIT
// NV graphics one step at a time on one printer: store, print or delete a
// graphic by its key, or list the keys. A printer reached by its address is
// asked before and after each step, so the caller learns what the printer
// kept, not only what it was sent; a spooler queue carries bytes one way, so
// through one the bytes go blind. tessaline-cli nv and the control's graphics
// methods both take their steps here.
#pragma once

#include "platform/Spooler.h"
#include "printer/LogoCommands.h"
#include "printer/NvGraphics.h"
#include "printer/PrinterOperation.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tessaline {

class PrinterConnection;

// The printer a step goes to: a spooler queue by its name, or an address,
// whose own timeouts may be replaced.
struct GraphicsPrinter {
    const Spooler& spooler;
    std::string name;
    std::optional<std::chrono::milliseconds> connectTimeout;
    std::optional<std::chrono::milliseconds> readTimeout;
    NvWriteCounter countNvWrites = {}; // empty: not counted
    // ESC/POS (GS ( L), or StarPRNT (ESC GS ( L): a StarPRNT printer tells no
    // free bytes, but sends a stored graphic's data back, which a store
    // compares with what it sent. Star Line Mode keeps no graphics by key.
    LogoLanguage commands = LogoLanguage::EscPos;
};

// How a step that went out is known to have taken.
enum class GraphicCheck {
    Verified,   // the printer's key list afterwards shows it
    Blind,      // a spooler queue, which carries no answer back
    Unanswered, // the address gave no answer in time (a file never does)
};

// What a step did. `result` is one of the printer results: kPrinterOk;
// kPrinterRefused (a key, scale or graphic that cannot be sent; nothing
// sent); kPrinterNotInstalled (no queue of that name, an address that does
// not read); kPrinterNotStarted (the queue or the printer could not be
// reached); kPrinterNotSent (the bytes, a question or the job's end failed);
// kPrinterNotKept (the printer has no room for it, nothing sent; or its key
// list afterwards shows the step did not take).
struct GraphicOutcome {
    int32_t result = kPrinterOk;
    // Why the step failed; after kPrinterOk, why it is not verified (empty when it is).
    std::string why;
    GraphicCheck check = GraphicCheck::Verified;
    // A store to a printer that held no graphic before, or could not say:
    // on many models the bit images stored with FS q are gone now.
    bool firstGraphic = false;
    // The keys the printer holds after the step, when it said.
    std::vector<GraphicKey> keys;
    // Its NV graphics size and free bytes after the step, where it said.
    std::optional<uint64_t> totalBytes, freeBytes;
};

// Stores `graphic`, read from `file` (named in messages), under `key`: asks
// the free memory first and refuses with the figures a graphic that cannot
// fit, stores it, raises Progress(1) once the bytes went out, and asks the
// key list. kPrinterNotKept when the list lacks the key, or (StarPRNT) when
// the data the printer sends back for it differs from what was sent.
GraphicOutcome StoreGraphicStep(const GraphicsPrinter& printer, GraphicKey key,
                                const RasterGraphic& graphic, const std::string& file,
                                const ProgressFn& progress);
// Prints the stored graphic at scale x, y (1 or 2 each); kPrinterNotKept
// when the printer holds no graphic of that key.
GraphicOutcome PrintGraphicStep(const GraphicsPrinter& printer, GraphicKey key, int32_t scaleX,
                                int32_t scaleY);
// Deletes one graphic, or every one when `key` is empty; kPrinterNotKept
// when the printer still holds what it was told to delete.
GraphicOutcome DeleteGraphicStep(const GraphicsPrinter& printer, std::optional<GraphicKey> key);
// Asks the key list, the size and the free bytes. Only an address can be
// asked; a printer that does not answer is kPrinterNotSent.
GraphicOutcome ListGraphicsStep(const GraphicsPrinter& printer);

// The check every NV write by key is held to, on a connection to a printer
// that answers, which stays open for more: `write` goes out, `sent` runs (the
// write is counted, progress raised), and the key list the printer gives
// after it shows what it kept. A printer busy writing its NV memory may
// answer up to `wait` beyond its read timeout. Nothing when no list came;
// fails when the bytes or the question did. Every step above, and apply's
// writes to a printer it has already asked, send their writes through it.
Result<std::optional<std::vector<GraphicKey>>>
SendThenListKeys(PrinterConnection& connection, std::span<const uint8_t> write,
                 LogoLanguage commands, std::chrono::milliseconds wait,
                 const std::function<void()>& sent = {});

// 244016 as "244,016".
std::string GroupedDigits(uint64_t value);
// A key as a list shows it: A1; "A " quoted, as it holds a blank; two blanks said in words.
std::string ShownKey(GraphicKey key);
// The keys as one string, two characters each, in the printer's order.
std::string KeysText(const std::vector<GraphicKey>& keys);

} // namespace tessaline
