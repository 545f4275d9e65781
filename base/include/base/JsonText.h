// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>
#include <string>

namespace tessaline {

// `text` as a JSON string, quotes included; control characters escaped.
inline std::string Json(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

} // namespace tessaline
