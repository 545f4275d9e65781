// SPDX-License-Identifier: MIT
// What one printer needs to match the manifest, worked out from what it
// answered and what the state file remembers sending it.
#pragma once

#include "fleet/FleetState.h"
#include "printer/PrinterProfiles.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessaline {

// One logo a printer should hold: its key and the SHA-256 of the exact bytes
// that store it (NV bit images: one entry for the whole upload, key "").
struct WantedLogo {
    std::string key;
    std::string hash;
};

struct PlanInput {
    bool graphics = true; // NV graphics by key; false: NV bit images, one upload
    std::vector<WantedLogo> wanted;
    // The keys the printer holds; nothing when it cannot be asked.
    std::optional<std::vector<std::string>> held;
    const PrinterRecord* record = nullptr; // what the state remembers; null: nothing
    std::string serial;                    // the serial number it answered; empty: none
    bool prune = false;
    // Storing one kind of NV logo erases every logo of the other kind the
    // printer holds: allowed only when this is set.
    bool replaceOtherLogos = false;
    std::string today;
    int64_t maxWrites = kDefaultNvWritesPerDay;
    // The NV writes every tool sent to the printer today, from the shared
    // record; they count against maxWrites when more than the state's own.
    int64_t writesTodayByAll = 0;
    // Another tool changed what the printer holds since the state was
    // written: the state's record says nothing of it any more.
    bool changedElsewhere = false;
    // The NV writes that change what the printer prints by itself (FS ( E),
    // counted against the day's budget with the stores.
    int64_t autoLogoWrites = 0;
};

// Why a key is stored.
enum class StoreReason {
    New,        // the state has no record of it
    Changed,    // the state records other bytes under the key
    Missing,    // recorded, but the printer no longer holds it
    Unrecorded, // the printer holds the key, with bytes the state does not know
    Swapped,    // the printer answers another serial number than the one recorded
    Elsewhere,  // another tool has written to the printer since
};
const char* StoreReasonName(StoreReason reason);

struct PrinterPlan {
    std::vector<std::pair<std::string, StoreReason>> store;
    std::vector<std::string> keep;      // held with the wanted bytes
    std::vector<std::string> unmanaged; // held, not named by the manifest, left alone
    std::vector<std::string> remove;    // held, not named, deleted (prune = true)
    bool swapped = false;
    int64_t writes = 0; // the NV writes the plan takes, autoLogoWrites among them
    int64_t autoLogoWrites = 0;
    int64_t writesToday = 0; // the NV writes already sent today
    bool refused = false;    // the writes would pass the day's budget
    // The logos of the other kind the record says the printer holds, which
    // the writes erase ("NV bit images 1 2", "NV graphics A1"); empty: none.
    std::string erases;
    bool erasureRefused = false; // `erases` without replaceOtherLogos: nothing written

    bool Changes() const { return writes > 0; }
};

// NV graphics: a key is kept when the state records its bytes and the printer
// holds it; held keys the manifest does not name are left alone or, with
// prune, deleted, one NV write each. NV bit images: one upload (one NV write)
// of every logo when any differs from the record. A plan that would pass
// `maxWrites` today is refused.
PrinterPlan PlanPrinter(const PlanInput& input);

} // namespace tessaline
