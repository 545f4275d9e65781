// SPDX-License-Identifier: MIT
// What a driver that reads "TTY DeviceConfig" does with every job: it sends
// the record's logo command A at the start of the receipt and logo command B
// before its last cut. The CUPS backend `tessaline` and the virtual printers
// play that driver's part.
#pragma once

#include "platform/Spooler.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace tessaline {

// The record's two logo commands, each present only when switched on, with
// the bytes its length counts (at most the 100 of its text).
struct DriverLogoCommands {
    std::optional<std::vector<uint8_t>> a, b;

    bool Any() const { return a || b; }
};

// The logo commands of a stored record, or none when there is no record,
// when it is not a 1480-byte binary value of format 8, or when both are off.
DriverLogoCommands ReadDriverLogos(const std::optional<DriverValue>& record);

// The jobs Tessaline itself sends (an upload, a printout, an erase, NV
// graphics, the automatic logo), told by their title: they pass unchanged.
bool IsTessalineJob(std::string_view title);

// Where in a job the logos go: A after the ESC @ (any number) it begins
// with; B before its last cut (GS V, ESC i, ESC m), or at its end when it
// has none. The job is walked command by command, so the data of an image,
// a graphic or a bar code is never taken for a cut.
struct DriverLogoPlaces {
    std::size_t a = 0;
    std::size_t b = 0;
};
DriverLogoPlaces FindDriverLogoPlaces(std::span<const uint8_t> job);

// The job with the switched-on logo commands in their places.
std::vector<uint8_t> WithDriverLogos(std::span<const uint8_t> job, const DriverLogoCommands& logos);

} // namespace tessaline
