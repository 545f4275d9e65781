// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string_view>

namespace tessaline {

// True when `a` and `b` are the same name with ASCII letters compared without
// regard to case, as member names, ProgIDs, profile sections and keys are.
constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// True when `s` is longer than `prefix` and begins with it, ASCII case ignored.
constexpr bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() > prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

} // namespace tessaline
