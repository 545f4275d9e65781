// SPDX-License-Identifier: MIT
// The adapters' IPv4 networks, as the IP Helper lists them: each unicast
// address with its on-link prefix, of adapters that are up, loopback left out.
#include "platform/connection/LocalNetworks.h"

// clang-format off: winsock2 before windows.h, then the IP Helper.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
// clang-format on

#include <vector>

namespace tessaline {

namespace {

// The adapter's friendly name ("Ethernet") in UTF-8, as other names travel.
std::string Utf8(const wchar_t* wide) {
    if (wide == nullptr || wide[0] == L'\0') {
        return {};
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string text(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
    text.resize(static_cast<size_t>(size - 1));
    return text;
}

} // namespace

std::vector<LocalNetwork> LocalIpv4Networks() {
    std::vector<LocalNetwork> out;
    constexpr ULONG kFlags =
        GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    // The list grows between the two calls when an adapter comes up: asked
    // again with the size the last call gave, a few times at most.
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.assign(size, 0);
        result = ::GetAdaptersAddresses(AF_INET, kFlags, nullptr,
                                        reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()),
                                        &size);
    }
    if (result != NO_ERROR) {
        return out;
    }
    for (const auto* a = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); a != nullptr;
         a = a->Next) {
        if (a->OperStatus != IfOperStatusUp || a->IfType == IF_TYPE_SOFTWARE_LOOPBACK) {
            continue;
        }
        const std::string name = Utf8(a->FriendlyName);
        for (const IP_ADAPTER_UNICAST_ADDRESS* u = a->FirstUnicastAddress; u != nullptr;
             u = u->Next) {
            const sockaddr* sa = u->Address.lpSockaddr;
            const int prefix = u->OnLinkPrefixLength;
            if (sa == nullptr || sa->sa_family != AF_INET || prefix < 0 || prefix > 32) {
                continue;
            }
            const uint32_t address =
                ntohl(reinterpret_cast<const sockaddr_in*>(sa)->sin_addr.s_addr);
            if ((address >> 24) == 127) {
                continue;
            }
            const uint32_t mask = prefix == 0 ? 0 : ~uint32_t{0} << (32 - prefix);
            const uint32_t network = address & mask;
            std::string block = std::to_string(network >> 24);
            for (const int shift : {16, 8, 0}) {
                block += '.';
                block += std::to_string(network >> shift & 0xFF);
            }
            block += '/';
            block += std::to_string(prefix);
            out.push_back({name.empty() ? std::string(a->AdapterName) : name, block, prefix});
        }
    }
    return out;
}

// Sockets are no C runtime descriptors on Windows: no per-process limit
// below what discover asks.
size_t ConnectionsAtOnce() {
    return 65536;
}

} // namespace tessaline
