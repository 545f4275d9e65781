// SPDX-License-Identifier: MIT
// Reads any text as discover's network and as a device's IEEE 1284 ID: each
// is taken or refused with a reason, and what is taken holds together.
#include "platform/Ieee1284Id.h"
#include "platform/NetworkRange.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
#ifdef TESSALINE_FUZZ_IEEE1284
    const auto id = tessaline::ParseIeee1284Id(std::span<const uint8_t>(data, size));
    if (!id && id.Reason().empty()) {
        std::abort();
    }
    if (id && id.Value().fields.empty()) {
        std::abort();
    }
#else
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto range = tessaline::ParseNetwork(text);
    if (!range) {
        if (range.Reason().empty()) {
            std::abort();
        }
        return 0;
    }
    const tessaline::NetworkRange& r = range.Value();
    if (r.count == 0 || r.count > tessaline::kMaxNetworkAddresses || r.last < r.first ||
        r.first.v6 != r.last.v6) {
        std::abort();
    }
    const auto addresses = tessaline::RangeAddresses(r);
    if (addresses.size() != r.count || !(addresses.back() == r.last)) {
        std::abort();
    }
    // Every address reads back as itself.
    for (const tessaline::IpAddress& a : {r.first, r.last}) {
        const auto again = tessaline::ParseIpAddress(a.Text());
        if (!again || !(again.Value() == a)) {
            std::abort();
        }
    }
#endif
    return 0;
}
