// SPDX-License-Identifier: MIT
#pragma once

#include "imaging/CLogoImage.h"
#include "platform/PrinterNvRecords.h"
#include "printer/CPrinterChannel.h"
#include "printer/DriverConfig.h"
#include "printer/LogoCommands.h"
#include "printer/StreamResult.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace tessaline {

// Results of Upload, Print and the NV graphics steps.
inline constexpr int32_t kPrinterOk = 0;
inline constexpr int32_t kPrinterNoMemory = -1;     // no memory for the driver record
inline constexpr int32_t kPrinterNotStarted = -2;   // the raw document could not be started
inline constexpr int32_t kPrinterNotSent = -3;      // bytes or the job's end were refused
inline constexpr int32_t kPrinterRefused = -4;      // the request cannot be sent whole
inline constexpr int32_t kPrinterNotInstalled = -5; // no installed queue has that name
// NV graphics: the printer has no room for the graphic, or did not keep what it was told.
inline constexpr int32_t kPrinterNotKept = -6;
// The spooler took the whole job and it waits there still, not printed yet.
inline constexpr int32_t kPrinterQueued = -7;

// The result for a job's end that failed: kPrinterQueued where the spooler
// holds the whole job still, kPrinterNotSent otherwise.
int32_t EndedJobResult(const Result<void>& ended);

// Told of NV writes that went to a printer (by the name or address it was
// reached by): how many, and what they were. The writes are counted once the
// bytes are out, whether or not the printer could confirm them.
struct NvWrites {
    int64_t count = 0;
    std::string what; // "upload of 2 NV bit images", ...
    // The kind of logos the printer holds afterwards: kHoldsBitImages,
    // kHoldsGraphics or kHoldsNone; empty when the writes leave it as it was.
    std::string holds;
    NvWidthChange widths; // what they did to the widths of the logos it holds
    // True for writes of settings (the logos printed by themselves) that leave
    // the logos it holds as they were: counted against the day's writes, but
    // no change a tool that stored logos must look at again.
    bool settingsOnly = false;
};
using NvWriteCounter = std::function<void(const std::string& printer, const NvWrites& writes)>;

// Counts into the printer records (platform/PrinterNvRecords.h) under
// `dataHome` (TessalineDataHome() for the user's own), which every tool
// shares. A record that cannot be written costs the operation nothing: the
// printer has done it.
NvWriteCounter CountInPrinterRecords(const std::filesystem::path& dataHome);
// The same under the user's own data folder.
NvWriteCounter CountInUsersPrinterRecords();

// What a printer operation needs from the control that runs it.
// How the note begins that says a queue's driver record was not changed,
// followed by why: the logo on every receipt stays as it was.
inline constexpr const char* kRecordUnchanged =
    "the driver record was left unchanged, so every receipt keeps the logo it had: ";

struct PrinterContext {
    const Spooler& spooler;
    ProgressFn progress;             // the Progress event; may be empty
    MessageFn message;               // the control's message box; may be empty
    SleepFn sleep;                   // empty: the calling thread really sleeps
    PictureWriter writePicture = {}; // writes "TempTe.bmp"; empty: no picture is written
    // The language the named printer takes its logos in, or why it cannot be
    // told; empty: every printer takes ESC/POS.
    std::function<Result<LogoLanguage>(const std::string& printerName)> commandsOf = {};
    NvWriteCounter countNvWrites = {}; // empty: not counted
    // Told what the user should know beside a success: "sent, not verified:
    // ..." where a printer that answers did not once the NV write was sent.
    std::function<void(const std::string& note)> note = {};
    // False where the caller knows the printer never answers: an upload
    // then ends as soon as its bytes are out (see awaitNvWrite).
    bool awaitNvWrite = true;
};

// What one method hands the frame.
struct PrinterOperation {
    // Runs before anything is opened: why the request cannot be sent whole
    // (the result is then kPrinterRefused), or empty to go on.
    std::function<std::string()> check;
    // The command stream; empty when the method's selector chose none, and
    // then an empty document is spooled. On Refused it says why in `refusal`.
    std::function<StreamResult(CPrinterChannel&, std::string& refusal)> stream;
    DriverConfigEdit edit = DriverConfigEdit::Enable;
    // The driver's logo commands are ESC/POS (FS p): a printer of another
    // language keeps its record as it is.
    bool editDriver = true;
    // The NV writes the stream makes (an upload or an erase is one), and what
    // they are, for the context's counter.
    NvWrites nvWrites;
    // Through an address that can answer: the connection stays open after
    // the stream until the printer answers its status, bounded by
    // kNvWriteAnswerWait, since one busy writing its NV memory answers only
    // once it is done, and one that never does has not shown it kept them.
    bool awaitNvWrite = false;
    // The printer is a Star one: the answer awaited is its automatic status.
    bool starStatus = false;
};

// Succeeds when a queue of exactly `name` is listed. Otherwise fails with
// kPrinterNotInstalled, saying also when a spooler could not be reached at
// all (its address and the system's words: the printer may be installed
// there) or refused the list.
Result<void> FindListedQueue(const Spooler& spooler, const std::string& name);

// The language `context` gives for the printer: ESC/POS when it gives none.
Result<LogoLanguage> LogoCommandsOf(const PrinterContext& context, const std::string& printerName);

// Checks the queue, spools one raw document "Logo" with the operation's
// stream, and edits the driver record only when the document went out whole.
// A failure carries its result code (kPrinterNotInstalled and the rest) and why.
Result<void> RunPrinterOperation(const PrinterContext& context, const std::string& printerName,
                                 const PrinterOperation& operation);

} // namespace tessaline
