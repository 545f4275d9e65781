// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

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

// ["a", "b"].
inline std::string JsonList(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        out += (i == 0 ? "" : ", ") + Json(items[i]);
    }
    return out + "]";
}

// A text, a number or a yes/no as JSON; null when there is none.
template <typename T> std::string JsonOr(const std::optional<T>& value) {
    if (!value) {
        return "null";
    }
    if constexpr (std::is_same_v<T, std::string>) {
        return Json(*value);
    } else if constexpr (std::is_same_v<T, bool>) {
        return *value ? "true" : "false";
    } else {
        return std::to_string(*value);
    }
}

} // namespace tessaline
