// SPDX-License-Identifier: MIT
#include "fleet/Plan.h"

#include <algorithm>

namespace tessaline {

const char* StoreReasonName(StoreReason reason) {
    switch (reason) {
    case StoreReason::Changed:
        return "changed";
    case StoreReason::Missing:
        return "missing from the printer";
    case StoreReason::Unrecorded:
        return "not in the state";
    case StoreReason::Swapped:
        return "another printer at the address";
    case StoreReason::Elsewhere:
        return "written by another tool since";
    case StoreReason::New:
        break;
    }
    return "new";
}

PrinterPlan PlanPrinter(const PlanInput& in) {
    PrinterPlan plan;
    const PrinterRecord* record = in.record;
    plan.writesToday = in.writesTodayByAll;
    if (record != nullptr) {
        plan.writesToday = std::max(record->WritesOn(in.today), in.writesTodayByAll);
        plan.swapped = !record->serial.empty() && !in.serial.empty() && record->serial != in.serial;
    }
    // A record of another printer, or of the other kind of NV memory, says
    // nothing about what this one holds.
    const char* commands = in.graphics ? "nv-graphics" : "nv-bit-images";
    const bool same = record != nullptr && !plan.swapped && record->commands == commands;
    const bool trusted = same && !in.changedElsewhere;
    // What the record would have kept, had no other tool written since.
    const StoreReason untrusted = same ? StoreReason::Elsewhere : StoreReason::New;
    const auto holds = [&](const std::string& key) {
        return in.held && std::find(in.held->begin(), in.held->end(), key) != in.held->end();
    };

    if (!in.graphics) {
        std::string all;
        for (const WantedLogo& w : in.wanted) {
            all.append(w.hash);
        }
        if (!trusted || record->bitImages != all) {
            const StoreReason why = plan.swapped                ? StoreReason::Swapped
                                    : !trusted                  ? untrusted
                                    : record->bitImages.empty() ? StoreReason::New
                                                                : StoreReason::Changed;
            for (const WantedLogo& w : in.wanted) {
                plan.store.emplace_back(w.key, why);
            }
            plan.writes = in.wanted.empty() ? 0 : 1;
        } else {
            for (const WantedLogo& w : in.wanted) {
                plan.keep.push_back(w.key);
            }
        }
    } else {
        for (const WantedLogo& w : in.wanted) {
            const auto recorded =
                trusted ? record->keys.find(w.key) : decltype(record->keys.end())();
            const bool known = trusted && recorded != record->keys.end();
            if (plan.swapped) {
                plan.store.emplace_back(w.key, StoreReason::Swapped);
            } else if (!known) {
                const bool before = same && record->keys.count(w.key) != 0;
                plan.store.emplace_back(w.key, before         ? StoreReason::Elsewhere
                                               : holds(w.key) ? StoreReason::Unrecorded
                                                              : StoreReason::New);
            } else if (recorded->second != w.hash) {
                plan.store.emplace_back(w.key, StoreReason::Changed);
            } else if (in.held && !holds(w.key)) {
                plan.store.emplace_back(w.key, StoreReason::Missing);
            } else {
                plan.keep.push_back(w.key);
            }
        }
        if (in.held) {
            for (const std::string& key : *in.held) {
                const bool named = std::any_of(in.wanted.begin(), in.wanted.end(),
                                               [&](const WantedLogo& w) { return w.key == key; });
                if (!named) {
                    (in.prune ? plan.remove : plan.unmanaged).push_back(key);
                }
            }
        }
        plan.writes = static_cast<int64_t>(plan.store.size() + plan.remove.size());
    }
    const bool stores = plan.writes > 0;
    plan.autoLogoWrites = in.autoLogoWrites;
    plan.writes += in.autoLogoWrites;
    plan.refused = plan.writes > 0 && plan.writesToday + plan.writes > in.maxWrites;
    // The record of the same printer, kept under the other kind of memory,
    // names what the stores would erase.
    if (record != nullptr && !plan.swapped && stores && record->commands != commands) {
        if (in.graphics && !record->bitImages.empty()) {
            // Each one-bit logo is recorded by its SHA-256, 64 hex digits.
            const size_t count = record->bitImages.size() / 64;
            std::string numbers;
            for (size_t i = 1; i <= count; ++i) {
                numbers.append(numbers.empty() ? "" : " ").append(std::to_string(i));
            }
            plan.erases = numbers.empty() ? "NV bit images" : "NV bit images " + numbers;
        } else if (!in.graphics && !record->keys.empty()) {
            std::string keys;
            for (const auto& [key, hash] : record->keys) {
                keys.append(keys.empty() ? "" : " ").append(key);
            }
            plan.erases = "NV graphics " + keys;
        }
        plan.erasureRefused = !plan.erases.empty() && !in.replaceOtherLogos;
    }
    return plan;
}

} // namespace tessaline
