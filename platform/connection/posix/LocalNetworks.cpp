// SPDX-License-Identifier: MIT
#include "platform/connection/LocalNetworks.h"

#include <algorithm>
#include <arpa/inet.h>
#include <bit>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/resource.h>

namespace tessaline {

std::vector<LocalNetwork> LocalIpv4Networks() {
    std::vector<LocalNetwork> out;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return out;
    }
    for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_netmask == nullptr ||
            i->ifa_addr->sa_family != AF_INET || (i->ifa_flags & IFF_UP) == 0 ||
            (i->ifa_flags & IFF_LOOPBACK) != 0) {
            continue;
        }
        const uint32_t address =
            ntohl(reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr);
        const uint32_t mask =
            ntohl(reinterpret_cast<const sockaddr_in*>(i->ifa_netmask)->sin_addr.s_addr);
        const uint32_t network = address & mask;
        char text[INET_ADDRSTRLEN] = {};
        const in_addr n{htonl(network)};
        ::inet_ntop(AF_INET, &n, text, sizeof text);
        const int prefix = std::popcount(mask);
        out.push_back({i->ifa_name, std::string(text) + "/" + std::to_string(prefix), prefix});
    }
    ::freeifaddrs(list);
    return out;
}

size_t ConnectionsAtOnce() {
    // Descriptors for the process's own files, the standard streams and the
    // system's libraries.
    constexpr rlim_t kKeptBack = 32;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return 256;
    }
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = std::min<rlim_t>(limit.rlim_max, 65536 + kKeptBack);
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) {
            limit = raised;
        }
    }
    return limit.rlim_cur > 2 * kKeptBack ? static_cast<size_t>(limit.rlim_cur - kKeptBack) : 1;
}

} // namespace tessaline
