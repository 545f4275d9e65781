// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Spooler.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tessaline {

// The driver data value that holds the thermal driver's configuration record.
inline constexpr const char* kDriverConfigName = "TTY DeviceConfig";
inline constexpr size_t kDriverConfigSize = 1480;
// The only format mark (first word) of a record the control accepts.
inline constexpr uint32_t kDriverConfigFormat = 8;

using DriverConfigRecord = std::array<uint8_t, kDriverConfigSize>;

// Enable: the driver's logo commands A and B print NV images 1 and 2.
// Disable: both are cleared and switched off (after an erase).
enum class DriverConfigEdit { Enable, Disable };

// True when a stored value is a record the control may edit in place:
// binary, exactly kDriverConfigSize bytes, format mark 8.
bool IsAcceptedDriverConfig(const std::optional<DriverValue>& stored);
// The stored record with the edit applied, or a fresh record with the edit
// applied when the stored value is absent or not accepted. Every byte the
// edit does not name is kept, the driver's own references included.
DriverConfigRecord EditDriverConfig(const std::optional<DriverValue>& stored,
                                    DriverConfigEdit edit);
// Reads, edits and writes back the named queue's record. 0, or -1 when no
// memory for the record was available. A queue that cannot be opened with
// full access is left as it is; where that is because the caller may not
// change a record the printer's driver reads (kSpoolerRecordDenied),
// `denied`, when given, is told why.
int32_t UpdateDriverConfig(const Spooler& spooler, const std::string& printerName,
                           DriverConfigEdit edit, std::string* denied = nullptr);

} // namespace tessaline
