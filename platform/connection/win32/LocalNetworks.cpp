// SPDX-License-Identifier: MIT
// The adapters' own networks are not looked up on Windows yet: discover asks
// for the networks to scan there.
#include "platform/connection/LocalNetworks.h"

namespace tessaline {

std::vector<LocalNetwork> LocalIpv4Networks() {
    return {};
}

} // namespace tessaline
