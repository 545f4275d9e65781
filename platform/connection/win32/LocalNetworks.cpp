// SPDX-License-Identifier: MIT
// The adapters' own networks are not looked up on Windows yet: discover asks
// for the networks to scan there.
#include "platform/connection/LocalNetworks.h"

namespace tessaline {

std::vector<LocalNetwork> LocalIpv4Networks() {
    return {};
}

// Sockets are no C runtime descriptors on Windows: no per-process limit
// below what discover asks.
size_t ConnectionsAtOnce() {
    return 65536;
}

} // namespace tessaline
