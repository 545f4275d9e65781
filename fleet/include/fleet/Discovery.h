// SPDX-License-Identifier: MIT
// Finding the receipt printers of a network and of the USB ports, and what
// each one is, for `tessaline-cli discover`. Returns what it found; prints nothing.
#pragma once

#include "platform/NetworkRange.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tessaline {

struct DiscoveryOptions {
    uint16_t port = 9100;
    std::chrono::milliseconds connectTimeout{400};
    std::chrono::milliseconds answerTimeout{800}; // for each kind of question
    size_t jobs = 256;                            // connections open at once
};

// What answered at one address.
enum class Found {
    Printer,     // it answered as a receipt printer
    Silent,      // the port opened and nothing came back: "answers nothing"
    NotAPrinter, // it answered what no printer would
    Unopened,    // a USB device that cannot be opened
};

struct DiscoveredPrinter {
    std::string address; // "socket://10.1.0.5:9100", "usb:///dev/usb/lp0"
    Found found = Found::Printer;
    std::optional<std::string> maker, model, serialNumber, firmware;
    std::optional<bool> ready;           // nothing: the status went unanswered
    std::vector<std::string> conditions; // why not ready, then warnings
    // "nv-graphics", "nv-bit-images", "star-line", "star-prnt" or "unknown".
    std::string commands = "unknown";
    std::optional<int32_t> paperWidth;
    std::optional<int32_t> paperMillimetres; // the roll it says it is set for
    std::string paperWidthFrom = "unknown";  // "answered", "profile" or "unknown"
    std::optional<uint64_t> nvFree;
    std::string profile; // the id of the profile its model matched; empty: none
    std::string problem; // for Silent, NotAPrinter and Unopened: the reason
};

// Connects to the port of every address, `jobs` at a time, and asks each
// that opens what it is; an address where nothing listens is left out.
// The results are in address order.
std::vector<DiscoveredPrinter> DiscoverNetwork(const std::vector<IpAddress>& addresses,
                                               const DiscoveryOptions& options);

// Every USB printer-class device under `sysRoot` (normally /sys): its IEEE
// 1284 device ID (class/usbmisc/lpN/device/ieee1284_id), then, through its
// node under `devRoot` (normally /dev: usb/lpN), the same questions as on
// the network. In the devices' order.
std::vector<DiscoveredPrinter> DiscoverUsb(const std::filesystem::path& sysRoot,
                                           const std::filesystem::path& devRoot,
                                           const DiscoveryOptions& options);

// A manifest for `apply` naming every printer found, its logos left for the
// user to fill in.
std::string DiscoveryManifest(const std::vector<DiscoveredPrinter>& printers);

// The name a printer gets in the manifest: its model and serial number, or
// its address where it gave neither.
std::string DiscoveredName(const DiscoveredPrinter& printer);

} // namespace tessaline
