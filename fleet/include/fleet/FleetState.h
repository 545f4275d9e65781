// SPDX-License-Identifier: MIT
// The state file: what each printer was last sent and kept, the only memory of
// what is in printers that cannot hand their images back. JSON, small and
// readable, replaced whole.
#pragma once

#include "base/Result.h"
#include "platform/PrinterNvRecords.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace tessaline {

struct PrinterRecord {
    std::string serial;   // the serial number it answered; empty when it did not
    std::string commands; // "nv-graphics" or "nv-bit-images"
    // NV graphics: key to the SHA-256 of the exact store command it kept.
    std::map<std::string, std::string> keys;
    // NV bit images: the SHA-256 of the one-bit logos of its last upload, in order.
    std::string bitImages;
    // The automatic logo last sent where nothing could confirm it (a queue, a
    // printer that does not answer FS ( E 61), as AutoLogoText writes it, "off"
    // for none; empty: none sent so.
    std::string autoLogo;
    std::string day;    // the day `writes` counts, "YYYY-MM-DD" in local time
    int64_t writes = 0; // NV writes sent that day
    // The printer's shared record's change count after this tool's last
    // writes (platform/PrinterNvRecords.h); another count there now means
    // another tool changed what the printer holds. 0: not known (a state
    // written before the shared records).
    uint64_t changes = 0;

    // The NV writes sent on `today`.
    int64_t WritesOn(const std::string& today) const { return day == today ? writes : 0; }
    void CountWrites(const std::string& today, int64_t count);
};

struct FleetState {
    std::map<std::string, PrinterRecord> printers; // by address
    // The printers the last run that worked on them left failed or refused:
    // address to "failed" or "refused" (apply --failed works on these).
    std::map<std::string, std::string> failed;
};

// The state written as JSON text.
std::string FleetStateText(const FleetState& state);
// Reads the text back; fails with "line L, column C: what" for text that is not a state.
Result<FleetState> ParseFleetState(std::string_view text);
// The state in `file`; an empty one when there is no file yet. Fails with
// "FILE: ..." for a file that cannot be read or is no state file.
Result<FleetState> ReadFleetState(const std::filesystem::path& file);
// Replaces `file` whole with the state.
Result<void> WriteFleetState(const std::filesystem::path& file, const FleetState& state);

} // namespace tessaline
