// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the automatic logo's reply reader, split where the
// first byte says, and takes them as a job the driver's logo commands go
// into: nothing of the job may be lost or reordered, and the commands go in
// whole at places inside it.
#include "platform/DriverLogos.h"
#include "printer/AutoLogo.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const size_t split = data[0] % size;
    const std::span<const uint8_t> bytes(data + 1, size - 1);
    tessaline::LogoReplyReader reader;
    const size_t first = std::min(split, bytes.size());
    reader.Feed(bytes.first(first));
    size_t replies = 0;
    while (reader.Reply()) {
        ++replies;
    }
    reader.Feed(bytes.subspan(first));
    while (const auto reply = reader.Reply()) {
        ++replies;
        if (*reply && reply->Value().setting &&
            (!tessaline::IsKeyByte(reply->Value().setting->key.kc1) ||
             !tessaline::IsKeyByte(reply->Value().setting->key.kc2))) {
            std::abort();
        }
    }
    if (reader.Dropped() + replies * 4 > bytes.size()) {
        std::abort();
    }
    static_cast<void>(tessaline::ParseLogoReply(bytes));

    const std::vector<uint8_t> a{0x1C, 0x70, 0x01, 0x30};
    const std::vector<uint8_t> b{0x1C, 0x70, 0x02, 0x30};
    const tessaline::DriverLogoPlaces places = tessaline::FindDriverLogoPlaces(bytes);
    if (places.a > places.b || places.b > bytes.size()) {
        std::abort();
    }
    const auto job = tessaline::WithDriverLogos(bytes, tessaline::DriverLogoCommands{a, b});
    std::vector<uint8_t> expected(bytes.begin(), bytes.begin() + static_cast<long>(places.a));
    expected.insert(expected.end(), a.begin(), a.end());
    expected.insert(expected.end(), bytes.begin() + static_cast<long>(places.a),
                    bytes.begin() + static_cast<long>(places.b));
    expected.insert(expected.end(), b.begin(), b.end());
    expected.insert(expected.end(), bytes.begin() + static_cast<long>(places.b), bytes.end());
    if (job != expected) {
        std::abort();
    }
    return 0;
}
