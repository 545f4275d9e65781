// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tessaline {

// One IPv4 network this machine is on.
struct LocalNetwork {
    std::string interfaceName; // "eth0"
    std::string block;         // "10.1.0.0/24"
    int prefixLength = 32;
};

// The widest of its own networks a scan takes unasked: a /22, 1,022
// addresses; a wider one has to be named (or a part of it).
inline constexpr int kWidestOwnNetwork = 22;

// The IPv4 networks of the interfaces that are up, loopback left out, in the
// system's order; none where the system cannot tell.
std::vector<LocalNetwork> LocalIpv4Networks();

// How many connections this process may hold open at once, a few
// descriptors kept back; the soft limit is raised to the hard one first.
size_t ConnectionsAtOnce();

} // namespace tessaline
