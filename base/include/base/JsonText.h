// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace tessaline {

// The length of the well-formed UTF-8 sequence at `text[i]`; 0 when the
// bytes there are not one (a stray continuation byte, an overlong or
// surrogate form, a sequence cut short).
inline std::size_t Utf8SequenceAt(const std::string& text, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = at(i);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > text.size() || at(i + 1) < low || at(i + 1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if (at(i + k) < 0x80 || at(i + k) > 0xBF) {
            return 0;
        }
    }
    return length;
}

// `text` as a JSON string, quotes included; control characters escaped. A
// byte that is not part of well-formed UTF-8 (what a printer answers may be
// in any code page) is taken as the Latin-1 character of its value, so the
// output is always valid JSON.
inline std::string Json(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
            ++i;
        } else if (u < 0x20 || u >= 0x80) {
            const std::size_t length = u < 0x80 ? 0 : Utf8SequenceAt(text, i);
            if (length > 0) {
                out.append(text, i, length);
                i += length;
                continue;
            }
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
            ++i;
        } else {
            out += c;
            ++i;
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
