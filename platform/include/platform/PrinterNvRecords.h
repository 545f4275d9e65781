// SPDX-License-Identifier: MIT
// One record per printer of the writes to its NV memory, shared by every
// tool of the user: the program, the command line, the control's methods
// and apply. Each record counts the day's NV writes (NV memory wears with
// every write, whichever tool sends it) and every change to what the
// printer holds, so that a tool keeping its own account (apply's state) can
// tell that another one wrote since.
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaline {

// The time now in local time, as strftime formats it (up to 63 characters).
std::string LocalTimeText(const char* format);
// Today's date in local time, "YYYY-MM-DD": the day NV writes are counted on.
std::string LocalDay();

// What a printer holds, as the records say it: storing one kind of NV logo
// erases every logo of the other kind.
inline constexpr const char* kHoldsBitImages = "nv-bit-images"; // FS q
inline constexpr const char* kHoldsGraphics = "nv-graphics";    // GS ( L, by key
inline constexpr const char* kHoldsNone = "none";

// The folder of the records under the data folder (TessalineDataHome()).
inline constexpr const char* kPrinterRecordsFolder = "printer-records";

// The first line of a record file, with its format's number.
inline constexpr std::string_view kPrinterNvRecordHeader = "tessaline-printer-record 1";

struct PrinterNvRecord {
    std::string printer;  // the queue's name or the address, as the record is keyed
    std::string serial;   // the serial number it answered, where a tool asked
    std::string day;      // the day `writes` counts, "YYYY-MM-DD" in local time
    int64_t writes = 0;   // NV writes sent that day, by any tool
    uint64_t changes = 0; // every NV write ever recorded: a change to what it holds
    std::string last;     // what the last change was ("upload of 2 NV bit images")
    // The kind of logos it holds after the last change that told: one of the
    // kHolds words; empty when no tool has said.
    std::string holds;
    // The maker and model it answered ("EPSON TM-T88V"), where a tool asked:
    // what its profile is found by when it is next reached.
    std::string model;
    // The width in millimetres of the roll it said it is set for, where a
    // tool asked and it answered: what it prints on until it is asked again.
    std::optional<int32_t> paperMillimetres;
    // The widths in dots of the logos tools stored and the printer still
    // holds, where they are known: no printer tells the size of what it
    // holds, and one prints nothing of a logo wider than its paper.
    std::vector<int32_t> imageWidths;             // NV bit image k: imageWidths[k - 1]
    std::map<std::string, int32_t> graphicWidths; // NV graphics by key
    // In the file of an address whose printer answered a serial number: the
    // serial whose record is this printer's, wherever it is reached. The
    // address's file then keeps a copy, for the tools that read it alone.
    std::string keptBySerial;

    int64_t WritesOn(const std::string& today) const { return day == today ? writes : 0; }
};

// What one change did to the widths a record keeps.
struct NvWidthChange {
    // An FS q upload's images, 1 to n, replacing those held; empty: none
    // left. Nothing: the images are as they were.
    std::optional<std::vector<int32_t>> images;
    std::vector<std::pair<std::string, int32_t>> stored; // NV graphics stored, by key
    std::vector<std::string> deleted;                    // NV graphics keys deleted

    // Applies the change to `record`, whose `holds` is already the kind it
    // holds after it: the other kind's widths go, as storing one erases the
    // other.
    void ApplyTo(PrinterNvRecord& record) const;
};

// The record as its file holds it, and back. Parsing fails with the line at
// fault for a file that is not a record, a format it does not know, or a
// field that is not what it should be; fields it does not know are passed
// over, so a later format's additions do not cost an older tool the record.
std::string PrinterNvRecordText(const PrinterNvRecord& record);
Result<PrinterNvRecord> ParsePrinterNvRecord(std::string_view text);

// The printer a record is kept for: a queue's name as it is, an address
// without its query (the timeouts), so one printer has one record however
// it is reached by that address.
std::string PrinterRecordKey(std::string_view printer);

// The records of one user, a file per printer in `folder`
// (TessalineDataHome()/printer-records by default). A printer that answered
// a serial number has its record under the serial, so the writes it takes
// are counted together by whichever address they came through; a printer
// that never did is known by its address or queue.
class PrinterNvRecords {
public:
    PrinterNvRecords();
    explicit PrinterNvRecords(std::filesystem::path folder);

    // The printer's record; nothing when no tool has written to it yet.
    // Fails, naming the file, for one that cannot be read or is damaged.
    Result<std::optional<PrinterNvRecord>> Read(std::string_view printer) const;
    // Adds `writes` NV writes on `today` and one change described by `what`
    // (and the serial, where not empty) under the record's lock, and returns
    // the record after. A damaged record is started afresh, the day's count
    // then counting from here. Fails, naming the file, when the record cannot
    // be written.
    // `holds`, where not empty, is what the printer holds afterwards, and
    // `widths` what the change did to the widths of what it holds.
    Result<PrinterNvRecord> Count(std::string_view printer, int64_t writes, const std::string& what,
                                  const std::string& today, const std::string& serial = {},
                                  const std::string& holds = {}, const NvWidthChange& widths = {});

    // Keeps the maker and model a printer answered (an empty `model` keeps
    // the one kept before), its serial where not empty, and the roll it said
    // it is set for (nothing: it did not say),
    // counting no write. Fails, naming the file, when the record cannot be
    // written.
    Result<void> Remember(std::string_view printer, const std::string& model,
                          const std::string& serial = {},
                          std::optional<int32_t> paperMillimetres = std::nullopt);
    // The file of the address or queue `printer`, and of a serial number's record.
    std::filesystem::path FileOf(std::string_view printer) const;
    std::filesystem::path SerialFileOf(std::string_view serial) const;

private:
    // Changes the printer's record under its locks: `change` edits it and
    // says whether there is anything new to write.
    Result<PrinterNvRecord> Update(std::string_view printer, const std::string& serial,
                                   const std::function<bool(PrinterNvRecord&)>& change);

    std::filesystem::path m_folder;
};

} // namespace tessaline
