// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace tessaline {

// One IPv4 network this machine is on.
struct LocalNetwork {
    std::string interfaceName; // "eth0"
    std::string block;         // "10.1.0.0/24"
    int prefixLength = 32;
};

// The IPv4 networks of the interfaces that are up, loopback left out, in the
// system's order; none where the system cannot tell.
std::vector<LocalNetwork> LocalIpv4Networks();

} // namespace tessaline
