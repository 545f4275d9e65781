// SPDX-License-Identifier: MIT
// The profiles as data, made by scripts/import-printer-profiles.mjs.
#pragma once

#include "printer/PrinterProfiles.h"

#include <cstddef>

namespace tessaline {

extern const PrinterProfile kPrinterProfileTable[];
extern const size_t kPrinterProfileCount;

} // namespace tessaline
