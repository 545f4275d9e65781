// SPDX-License-Identifier: MIT
// Making a fleet of printers match its manifest: every printer asked, planned
// and written in parallel, only what differs, each key checked afterwards.
#pragma once

#include "base/Result.h"
#include "fleet/Manifest.h"
#include "fleet/Plan.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessaline {

class Spooler;

// Printers worked on at once unless --jobs says otherwise. A printer is
// mostly waited on (its NV writes keep it busy for hundreds of milliseconds
// each), so the run is as fast as the printers once most of a shop's fleet is
// in flight: 200 printers with two 300 ms writes each take two rounds at
// 128. More would not help while the printers' side is the bound, and every
// connection costs descriptors (four with its own event loop), so 128 keeps a
// large fleet near 500 of them, well inside the usual limit of 1024, instead
// of opening thousands of connections at once.
inline constexpr int kDefaultJobs = 128;

// The state file is replaced at most this often while printers finish.
inline constexpr std::chrono::milliseconds kStateSaveEvery{200};

struct ApplyOptions {
    bool planOnly = false;   // ask and plan, write nothing (not even the state)
    int jobs = kDefaultJobs; // printers worked on at once
    int64_t maxWrites = kDefaultNvWritesPerDay;
    std::filesystem::path stateFile;
    // The printer records every tool shares (platform/PrinterNvRecords.h):
    // the day's writes by all of them count against maxWrites, a change by
    // another tool makes the state's record of a printer void, and apply's own
    // writes are counted there. Empty: none are kept.
    std::filesystem::path printerRecords;
    // For printers named by a spooler queue; null: such printers fail.
    const Spooler* spooler = nullptr;
    // The file to read for `logo` fitted to `fit` dots (0: its own width) and
    // dithered as its `dither` says, or "<file>: <reason>". Empty: logos are
    // read as they are.
    std::function<Result<std::string>(const ManifestLogo& logo, int32_t fit)> shapeLogo;
    // The paper width a printer's own settings give (a virtual printer's),
    // or nothing; the narrower of it and the manifest's paper-width holds.
    std::function<std::optional<int32_t>(const std::string& address)> paperWidthOf;
    // Called after each printer, from the worker that finished it.
    std::function<void(size_t done, size_t total)> progress;
};

enum class Outcome { Unchanged, Stored, Planned, Refused, Failed };

// What became of the automatic logo the manifest gives a printer.
enum class AutoLogoDone {
    Untouched, // the manifest gives it none, or the run stopped before it
    Unchanged, // the printer said it prints that already
    Planned,   // a plan that would change it
    Set,       // changed and read back
    Sent,      // changed where nothing confirmed it (see `why`): never a success
};

struct AutoLogoResult {
    std::optional<AutoLogoSettings> wanted; // nothing: the manifest gives none
    std::optional<AutoLogoSettings> before; // what the printer said it printed, when it said
    AutoLogoDone done = AutoLogoDone::Untouched;
    int64_t writes = 0; // NV writes it took (or, for a plan, would take)
    std::string why;    // for Sent: why it is not verified
};

struct PrinterResult {
    std::string name;
    std::string address;
    std::string serial;   // the serial number it answered; empty when none
    std::string commands; // "nv-graphics", "nv-bit-images", "star-line" or "star-prnt"; empty when
                          // never known
    Outcome outcome = Outcome::Failed;
    PrinterPlan plan;
    std::vector<std::string> stored; // verified, or only sent where `verified` is false
    bool verified = true; // false: sent where nothing can be checked (NV bit images, a queue)
    // Sent to a printer that answers but did not confirm it (a StarPRNT
    // printer that lists a key and sends none of its dots back): never a success.
    bool unconfirmed = false;
    std::vector<std::string> deleted; // verified gone
    int64_t writes = 0;               // NV writes sent by this run
    double seconds = 0;
    std::string reason; // why it failed or was refused
    std::string note;   // what the user should know beside a success
    AutoLogoResult autoLogo;
};

struct ApplyReport {
    std::vector<PrinterResult> printers; // in the manifest's order
    int64_t writes = 0;
    bool changed = false; // some printer was written (or, for a plan, would be)
    // Why the state file could not be written, naming it; empty when it was
    // (or did not need to be). The printers' results stand either way.
    std::string stateFailure;
    bool AllMatch() const;
};

// Converts every logo first (a logo that cannot be read fails the whole
// call, "FILE:LINE:COLUMN: reason", before anything is sent), then works on
// the printers; one printer's failure is its own result. A printer whose
// paper is known to be narrower than one of its logos is refused before
// anything is sent to it. The state file is locked for the whole run (a
// second run waits) and replaced with what was verified as the printers
// finish (at most every kStateSaveEvery, and at the end), so a run cut short
// keeps the writes it made. Fails for a state file that cannot be read or
// locked; one that cannot be written is said in the report's stateFailure.
Result<ApplyReport> ApplyManifest(const Manifest& manifest, const ApplyOptions& options);

// The word for an outcome: "unchanged", "stored", "planned", "refused", "failed".
const char* OutcomeName(Outcome outcome);
// "untouched", "unchanged", "planned", "set", "sent".
const char* AutoLogoDoneName(AutoLogoDone done);
// "top A1 (center), bottom A2 (center)", or "none".
std::string DescribeAutoLogo(const AutoLogoSettings& settings);

} // namespace tessaline
