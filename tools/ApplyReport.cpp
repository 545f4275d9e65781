// SPDX-License-Identifier: MIT
#include "ApplyReport.h"

#include "base/JsonText.h"
#include "base/Words.h"
#include "fleet/Plan.h"

#include <cstdio>
#include <string>
#include <vector>

namespace tessaline {

namespace {

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", s);
    return text;
}

std::string Writes(int64_t n) {
    return std::to_string(n) + (n == 1 ? " NV write" : " NV writes");
}

} // namespace

std::string ResultLine(const PrinterResult& r) {
    std::string line;
    const PrinterPlan& plan = r.plan;
    switch (r.outcome) {
    case Outcome::Failed:
        return "failed: " + r.reason;
    case Outcome::Refused:
        return "refused: " + r.reason;
    case Outcome::Unchanged:
        line = "unchanged";
        break;
    case Outcome::Stored: {
        // NV bit images cannot be read back: what went is sent, not stored.
        std::vector<std::string> done;
        if (!r.stored.empty()) {
            done.push_back((r.verified ? "stored " : "sent ") + Joined(r.stored));
        }
        if (!r.deleted.empty()) {
            done.push_back("deleted " + Joined(r.deleted));
        }
        if (r.autoLogo.wanted &&
            (r.autoLogo.done == AutoLogoDone::Set || r.autoLogo.done == AutoLogoDone::Sent)) {
            done.push_back((r.autoLogo.done == AutoLogoDone::Set ? "set" : "sent") +
                           std::string(" the automatic logo ") +
                           DescribeAutoLogo(*r.autoLogo.wanted));
        }
        line = Joined(done, ", ");
        line.append(" (").append(Writes(r.writes)).append(", ").append(Seconds(r.seconds));
        line.append(" s)");
        break;
    }
    case Outcome::Planned: {
        std::string what;
        for (const auto& [key, why] : plan.store) {
            what.append(what.empty() ? "" : ", ").append(key).append(" (");
            what.append(StoreReasonName(why)).append(")");
        }
        std::vector<std::string> would;
        if (!what.empty()) {
            would.push_back("would store " + what);
        }
        if (!plan.remove.empty()) {
            would.push_back("would delete " + Joined(plan.remove));
        }
        if (r.autoLogo.wanted && r.autoLogo.done == AutoLogoDone::Planned) {
            std::string change =
                "would set the automatic logo " + DescribeAutoLogo(*r.autoLogo.wanted) + " (";
            change += r.autoLogo.before ? "now " + DescribeAutoLogo(*r.autoLogo.before)
                                        : std::string("what it prints now is not known");
            change += ")";
            would.push_back(std::move(change));
        }
        line = Joined(would, "; ");
        line.append(" (").append(Writes(plan.writes)).append("; ");
        line.append(std::to_string(plan.writesToday)).append(" today so far)");
        break;
    }
    }
    if (!plan.unmanaged.empty()) {
        line.append("; left alone, not in the manifest: ").append(Joined(plan.unmanaged));
    }
    if (!plan.erases.empty() && !plan.erasureRefused) {
        line.append(r.outcome == Outcome::Planned ? "; would erase the " : "; erased the ")
            .append(plan.erases);
    }
    if (r.autoLogo.done == AutoLogoDone::Sent) {
        line.append("; ").append(r.autoLogo.why);
    }
    if (!r.note.empty()) {
        line.append("; ").append(r.note);
    }
    return line;
}

std::string ReportJson(const ApplyReport& report, bool plan) {
    std::string out = "{\"version\": ";
    out.append(std::to_string(kReportJsonVersion));
    out.append(", \"changed\": ");
    out.append(report.changed ? "true" : "false");
    out.append(", \"plan\": ").append(plan ? "true" : "false");
    out.append(", \"nv_writes\": ").append(std::to_string(report.writes));
    out.append(", \"printers\": [");
    bool first = true;
    for (const PrinterResult& r : report.printers) {
        out.append(first ? "\n  " : ",\n  ");
        first = false;
        std::vector<std::string> store;
        for (const auto& [key, why] : r.plan.store) {
            store.push_back(key);
        }
        out.append("{\"name\": ").append(Json(r.name));
        out.append(", \"address\": ").append(Json(r.address));
        out.append(", \"serial\": ").append(Json(r.serial));
        out.append(", \"result\": ").append(Json(OutcomeName(r.outcome)));
        const bool unverified =
            r.outcome == Outcome::Stored && (!r.verified || r.autoLogo.done == AutoLogoDone::Sent);
        out.append(", \"verified\": ").append(unverified ? "false" : "true");
        out.append(", \"commands\": ").append(Json(r.commands));
        out.append(", \"planned\": ").append(JsonList(store));
        out.append(", \"stored\": ").append(JsonList(r.stored));
        out.append(", \"deleted\": ").append(JsonList(r.deleted));
        out.append(", \"left_alone\": ").append(JsonList(r.plan.unmanaged));
        out.append(", \"nv_writes\": ").append(std::to_string(r.writes));
        out.append(", \"nv_writes_today\": ").append(std::to_string(r.plan.writesToday + r.writes));
        out.append(", \"seconds\": ").append(Seconds(r.seconds));
        out.append(", \"reason\": ").append(Json(r.reason));
        if (r.autoLogo.wanted) {
            const AutoLogoResult& a = r.autoLogo;
            out.append(", \"auto_logo\": {\"wanted\": ").append(Json(AutoLogoText(*a.wanted)));
            out.append(", \"before\": ")
                .append(a.before ? Json(AutoLogoText(*a.before)) : std::string("null"));
            out.append(", \"result\": ").append(Json(AutoLogoDoneName(a.done)));
            out.append(", \"nv_writes\": ").append(std::to_string(a.writes));
            out.append(", \"reason\": ").append(Json(a.why)).append("}");
        } else {
            out.append(", \"auto_logo\": null");
        }
        out.append(", \"line\": ").append(Json(ResultLine(r))).append("}");
    }
    out.append(first ? "]}\n" : "\n]}\n");
    return out;
}

} // namespace tessaline
