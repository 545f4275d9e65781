// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tessaline {

// The words with `between` between each two: "A1 A2", "A1, A2".
inline std::string Joined(const std::vector<std::string>& words, std::string_view between = " ") {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) {
            text.append(between);
        }
        text.append(words[i]);
    }
    return text;
}

} // namespace tessaline
