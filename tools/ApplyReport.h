// SPDX-License-Identifier: MIT
// How tessaline-cli apply says what a run did: a line per printer, and the
// report as JSON (--json, --report FILE.json). fleet/ hands the results over.
#pragma once

#include "fleet/Apply.h"

#include <string>

namespace tessaline {

// The one line a printer ends with: "unchanged", "stored A1 A2 (2 NV writes,
// 3.1 s)", "refused: ..." or "failed: <reason>"; for a plan what it would do.
std::string ResultLine(const PrinterResult& result);

// The version of ReportJson's layout (docs/apply-report.schema.json). Members
// are only ever added; one changed or removed makes a new version.
inline constexpr int kReportJsonVersion = 1;
// The report as one JSON object.
std::string ReportJson(const ApplyReport& report, bool plan);

} // namespace tessaline
