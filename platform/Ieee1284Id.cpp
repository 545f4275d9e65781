// SPDX-License-Identifier: MIT
#include "platform/Ieee1284Id.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace tessaline {

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string Upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) {
        return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    });
    return out;
}

} // namespace

Result<Ieee1284Id> ParseIeee1284Id(std::span<const uint8_t> bytes) {
    using Parsed = Result<Ieee1284Id>;
    // The length counts itself; a device ID never starts with a byte below 0x20.
    if (bytes.size() >= 2 && bytes[0] < 0x20) {
        const size_t length = size_t{bytes[0]} << 8 | bytes[1];
        if (length < 2 || length > bytes.size()) {
            return Parsed::Fail("the device ID's length field says " + std::to_string(length) +
                                " bytes, " + std::to_string(bytes.size()) + " came");
        }
        bytes = bytes.subspan(2, length - 2);
    }
    while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r' || bytes.back() == 0)) {
        bytes = bytes.first(bytes.size() - 1);
    }
    if (bytes.empty()) {
        return Parsed::Fail("the device ID is empty");
    }
    if (bytes.size() > kMaxIeee1284Id) {
        return Parsed::Fail("the device ID is " + std::to_string(bytes.size()) +
                            " bytes long, more than " + std::to_string(kMaxIeee1284Id));
    }
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] < 0x20 || bytes[i] == 0x7F) {
            return Parsed::Fail("the device ID holds the control byte " + std::to_string(bytes[i]) +
                                " at " + std::to_string(i));
        }
    }
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    Ieee1284Id id;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find(';', at), text.size());
        const std::string_view field = Trim(text.substr(at, end - at));
        at = end + 1;
        if (field.empty()) {
            continue;
        }
        const size_t colon = field.find(':');
        if (colon == std::string_view::npos || Trim(field.substr(0, colon)).empty()) {
            return Parsed::Fail("the device ID's field '" + std::string(field) +
                                "' is no KEY:VALUE");
        }
        const std::string key(Trim(field.substr(0, colon)));
        const std::string value(Trim(field.substr(colon + 1)));
        id.fields.emplace_back(key, value);
        const std::string upper = Upper(key);
        auto keep = [&value](std::optional<std::string>& into) {
            if (!into && !value.empty()) {
                into = value;
            }
        };
        if (upper == "MFG" || upper == "MANUFACTURER") {
            keep(id.maker);
        } else if (upper == "MDL" || upper == "MODEL") {
            keep(id.model);
        } else if (upper == "CMD" || upper == "COMMAND SET") {
            keep(id.commands);
        } else if (upper == "SN" || upper == "SERN" || upper == "SERIALNUMBER") {
            keep(id.serialNumber);
        }
    }
    if (id.fields.empty()) {
        return Parsed::Fail("the device ID holds no KEY:VALUE field");
    }
    return id;
}

} // namespace tessaline
