// SPDX-License-Identifier: MIT
// The networks `discover` scans: one address, a CIDR block or a range of
// addresses, IPv4 or IPv6.
#pragma once

#include "base/Result.h"

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaline {

// One IPv4 or IPv6 address as a 128-bit number (an IPv4 one in `lo` alone).
struct IpAddress {
    bool v6 = false;
    uint64_t hi = 0, lo = 0;

    // "10.1.0.5", "fe80::1" (the shortest form).
    std::string Text() const;
    // The text an address takes in a URL: an IPv6 one in brackets.
    std::string UrlHost() const;
    // IPv4 before IPv6, then by number.
    friend auto operator<=>(const IpAddress&, const IpAddress&) = default;
};

// Addresses `first` to `last` inclusive, of one family.
struct NetworkRange {
    IpAddress first, last;
    uint64_t count = 0; // last - first + 1
};

// The most addresses one network may hold: a /16 of IPv4, a /112 of IPv6.
inline constexpr uint64_t kMaxNetworkAddresses = 65536;

// An IPv4 or IPv6 address, or why the text is not one.
Result<IpAddress> ParseIpAddress(std::string_view text);

// "10.1.0.5", "10.1.0.0/24", "10.1.0.20-10.1.0.60" (or "-60", the last part
// alone), "fd00::/120", "fd00::1-fd00::9". An IPv4 block of /30 or wider
// leaves out its network and broadcast addresses. Refused with the reason:
// malformed, a range that runs backwards, or more than kMaxNetworkAddresses
// addresses (the reason gives the count).
Result<NetworkRange> ParseNetwork(std::string_view text);

// The range's addresses in order.
std::vector<IpAddress> RangeAddresses(const NetworkRange& range);

} // namespace tessaline
