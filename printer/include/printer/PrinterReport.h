// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"
#include "platform/connection/PrinterConnection.h"
#include "printer/LogoCommands.h"
#include "printer/NvGraphics.h"
#include "printer/PrinterProfiles.h"
#include "printer/PrinterQueries.h"
#include "printer/StarStatus.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessaline {

// What a printer answered about itself; a field is empty when it did not answer.
struct PrinterReport {
    PrinterStatus status;
    std::optional<std::string> maker, model, firmware, serialNumber, codePage;
    std::optional<uint8_t> modelId, typeId, romVersionId;
    std::optional<uint64_t> nvGraphicsTotal, nvGraphicsFree;
    // The width of the roll it says it is set for (GS ( E function 6).
    std::optional<int32_t> paperMillimetres;
    // The questions that got no answer, in the order asked ("maker (GS I 66)").
    std::vector<std::string> unanswered;
    // Bytes it sent that answered no question: a printer's own broadcasts,
    // or a peer that speaks something else.
    size_t strayBytes = 0;
};

// The dots across a printer's paper and where that comes from: "answered"
// (the roll it says it is set for), "profile" (the paper its model ships
// with) or "unknown". What the printer answers wins over its profile.
struct KnownPaper {
    std::optional<int32_t> dots;
    const char* from = "unknown";
};
KnownPaper KnownPaperOf(std::optional<int32_t> answeredMillimetres, const PrinterProfile* profile);

// The profile of the model a printer answered with; null when it named none
// or none matches.
const PrinterProfile* ProfileOf(const PrinterReport& report);

// How long a report waits for a printer that leaves questions unanswered.
enum class Patience {
    EachQuestion, // every question gets the read timeout
    // The first unanswered question of a kind (status, identification, NV
    // graphics) ends that kind: three read timeouts at most, for scans.
    EachKind,
};

// Asks the printer its status, identity and NV graphics sizes, one question
// at a time, each waiting up to the address's read timeout. A device that
// answers nothing to the first question is asked nothing more. Fails, naming
// the address, only when the connection itself fails.
Result<PrinterReport> AskPrinter(PrinterConnection& connection,
                                 Patience patience = Patience::EachQuestion);

// Receives what comes, handing each piece to `take`, until `take` says the
// reply is whole (true) or the read timeout passes (false); fails when the
// connection does.
Result<bool> ReceiveReply(PrinterConnection& connection,
                          const std::function<bool(std::span<const uint8_t>)>& take);

// Sends one question and waits up to the read timeout for its reply.
// Nothing when none came; fails when the connection did. `stray`, where
// given, grows by the bytes that came and were not the reply.
Result<std::optional<std::vector<uint8_t>>> AskOne(PrinterConnection& connection,
                                                   std::span<const uint8_t> request,
                                                   ReplyShape shape, size_t* stray = nullptr);

// What a Star printer answered: its automatic status and its version text
// ("TSP143IIIW Ver1.0"), each empty when it did not answer.
struct StarReport {
    std::optional<StarStatus> status;
    std::optional<std::string> version;
};

// Asks a Star printer its automatic status (ESC ACK SOH), then, when it
// answered, its version (ESC # * LF NUL), each up to the read timeout. Fails,
// naming the address, only when the connection itself fails.
Result<StarReport> AskStarPrinter(PrinterConnection& connection);
// A Star printer's answers in a report's terms: maker "Star", then the model
// and the firmware its version text names; what it left unanswered.
PrinterReport StarAsPrinterReport(const StarReport& star);

// The language a printer answers in: ESC/POS when it answers its real-time
// status (DLE EOT 1); otherwise, when it answers ESC ACK SOH, StarPRNT where
// the profile of the model its version names (or the version itself) says
// so, Star Line Mode where not. Nothing when it answers neither within the
// read timeout; fails when the connection does.
Result<std::optional<LogoLanguage>> AnsweredLogoLanguage(PrinterConnection& connection);

// Asks for the NV graphics key list and answers its blocks (ACK, NAK for a
// malformed one, CAN when giving up). Nothing when the printer did not answer
// within the read timeout, from one block to the next; fails when the
// connection did or the list never came whole. `firstWait`, when longer,
// is the wait for the first block instead: a printer still writing its NV
// memory answers only once it is done.
// How long a printer that has answered before may take to send its key list
// after an NV write: flash memory is slow, and a loaded printer slower.
inline constexpr std::chrono::milliseconds kNvWriteAnswerWait{10000};

Result<std::optional<std::vector<GraphicKey>>>
AskGraphicKeys(PrinterConnection& connection,
               std::chrono::milliseconds firstWait = std::chrono::milliseconds(0));

} // namespace tessaline
